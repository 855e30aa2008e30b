// The cache a command works on, opened and listed as the window lists it at start.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "app/Session.h"
#include "catalogue/CacheScan.h"
#include "cli/Selection.h"

namespace pellimor {

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

// How a command takes the movies a command line names.
struct ChoiceRules {
    std::string_view verb;  // "nothing <verb>" when they cannot all be chosen
    bool sayOnRefusal = false;
    bool allMatching = false;  // a name may stand for several movies, whatever the words say
    bool twiceIfNamedTwice = false;
    std::string nothingDone = {};  // after the reason when nothing can be listed
    // Run once the cache is listed, before the movies are chosen: an exit status stops there.
    std::function<std::optional<int>(Session&)> beforeChoosing = {};
};

struct ChosenMovies {
    OpenedListing listing;
    std::vector<std::int32_t> keys;
};

// Opens and lists the cache, then chooses the movies s names; when either cannot be done,
// reports why and gives the exit status instead.
std::variant<ChosenMovies, int> OpenAndChoose(Selection& s, const ChoiceRules& rules);

}  // namespace pellimor
