// The cache a command works on, opened and listed as the window lists it at start.
#pragma once

#include <memory>
#include <string>
#include <variant>

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

}  // namespace pellimor
