// The movies a command line chooses (--site, --leftovers, NAME, --url, --all), and the
// refusal when the listing cannot give them all.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/CommandLine.h"
#include "cli/CommandWords.h"
#include "cli/MovieChoice.h"

namespace pellimor {

struct Selection {
    ProgramOptions options;
    std::string site;
    bool leftovers = false;
    bool all = false;
    bool allMatching = false;
    std::vector<std::string> names;
    std::vector<std::string> urls;
    std::string error;
};

Selection SelectionOf(const CommandWords& words);
// The same for a command that works on the movies named (or --all, where it takes it):
// noneNamed is the error when the words name none.
Selection NamedSelectionOf(const CommandWords& words, const std::string& noneNamed);

MovieRequest RequestOf(const Selection& s);

std::string Joined(const std::vector<std::string>& texts);

// The exit status when the movies named cannot all be chosen, reported ("nothing <verb>";
// after a refusal too when sayOnRefusal); nothing when they can.
std::optional<int> RefuseChoice(const MovieChoice& choice, std::string_view verb,
                                bool sayOnRefusal);

}  // namespace pellimor
