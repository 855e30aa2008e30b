// The start every command of pellimor-cli shares: its options read, the cache opened and
// listed as the window lists it at start, the movies named chosen or refused.
#pragma once

#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "app/CommandLine.h"
#include "app/Session.h"
#include "catalogue/CacheScan.h"
#include "cli/MovieChoice.h"

namespace pellimor {

struct Selection {
    ProgramOptions options;
    std::string site;
    bool leftovers = false;
    bool json = false;
    bool all = false;
    bool allMatching = false;
    bool yes = false;
    std::string to;
    // export's: the web archives to write, the curation's own values, packing.
    std::string warc;
    std::string wacz;
    std::string language;
    std::string tags;
    std::string library;
    std::string applicationPath;
    bool zip = false;
    bool noPictures = false;
    std::vector<std::string> files;  // --file: SWF files read outside the cache
    std::vector<std::string> names;
    std::vector<std::string> urls;
    std::vector<std::string> given;  // the options of this reading, as written
    std::string error;
};

Selection ReadSelection(const std::vector<std::string>& arguments);

// Refuses an option that another command reads but this one would ignore.
void AcceptOnly(Selection& s, const std::string& command,
                std::initializer_list<std::string_view> accepted);

// Prints the message as the terminal's error lines; the status.
int Report(int status, const std::string& message);

// A usage error: the command line asked for something this command cannot do.
int UsageError(const std::string& command, const std::string& message);

// Lists as the window does at start: the first scan for the site, then the leftover item.
// False when no cache could be read at all, with s.error saying why.
bool Scan(Selection& s, Session& session, ListingState& state);

// The session and its listing, for a command that works on listed movies.
struct OpenedListing {
    std::unique_ptr<Session> session;
    ListingState state;
};

// Opens the cache and lists it; when nothing can be listed, reports why (nothingDone after
// it) and gives the exit status instead.
std::variant<OpenedListing, int> OpenListing(Selection& s, const std::string& nothingDone = "");

MovieRequest RequestOf(const Selection& s);

std::string Joined(const std::vector<std::string>& texts);

// The exit status when the movies named cannot all be chosen, reported ("nothing <verb>";
// after a refusal too when sayOnRefusal); nothing when they can.
std::optional<int> RefuseChoice(const MovieChoice& choice, std::string_view verb,
                                bool sayOnRefusal);

}  // namespace pellimor
