// A command line's words after the command's name: the program's options, then the options
// of every command in the table (so that another command's option is named as such), then
// the names. Only the options the command takes are let through.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/CommandLine.h"
#include "cli/Command.h"

namespace pellimor {

struct CommandWords {
    ProgramOptions options;
    // Each option as given (-y as --yes), in order, with its value (empty for a flag).
    std::vector<std::pair<std::string, std::string>> given;
    std::vector<std::string> names;  // the words that are no option
    std::string error;               // the first fault, for the user

    bool Has(std::string_view option) const;
    // The option's last value, or empty.
    std::string Value(std::string_view option) const;
    // Every value of a repeatable option, in order.
    std::vector<std::string> Values(std::string_view option) const;
};

// Reads arguments for the command named command that takes the options accepted.
CommandWords ReadWords(const std::vector<std::string>& arguments, std::string_view command,
                       std::span<const CommandOption> accepted);

}  // namespace pellimor
