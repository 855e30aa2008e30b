// Opening the cache as both front ends do at start: the first scan, for the site asked for,
// then the leftover files where they were asked for alone.
#pragma once

#include <string>

#include "catalogue/CacheScan.h"
#include "ports/Result.h"

namespace pellimor {

struct OpenChoice {
    std::string site;             // the site to start on; the first when empty
    bool leftovers = false;       // list the leftover files instead of a site
    bool sizesWhenShown = false;  // look sizes up as each movie is shown, not all at once
};

// Fails, with the cache's error, when nothing of it could be read: an empty listing would
// say the cache holds no movies. A cache read in part lists what it holds, state.cacheError
// saying what may be missing.
Status OpenCache(ListingState& state, ListingServices& services, const OpenChoice& choice);

}  // namespace pellimor
