// Which movies of a listing the terminal's arguments mean: by name, by exact address, or
// all of them, only from the sites whose name contains the --site text.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "catalogue/CacheScan.h"

namespace pellimor {

struct MovieRequest {
    std::string site;                // only sites whose name contains it; empty: every site
    std::vector<std::string> names;  // display names
    std::vector<std::string> urls;   // exact addresses
    bool all = false;                // every movie of the listing
    bool allMatching = false;        // a name or address may stand for several movies
    bool twiceIfNamedTwice = false;  // a movie named twice is taken twice (two copies saved)
};

struct MovieChoice {
    std::vector<std::int32_t> keys;    // the chosen movies, in the order asked for
    std::vector<std::string> missing;  // names and addresses that matched no movie
    std::string refusal;               // why nothing may be taken, for the user
};

MovieChoice ChooseMovies(const ListingState& state, const MovieRequest& request);

// One line per movie: name, site and address lined up in columns, indented by two spaces;
// withFile adds the cached file, which tells apart two entries of one address.
std::string MovieTable(const ListingState& state, std::span<const std::int32_t> keys,
                       bool withFile = false);

}  // namespace pellimor
