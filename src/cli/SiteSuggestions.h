// The sites to offer when a --site text matches none: those that come closest to it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace pellimor {

// At most count of sites, closest to wanted first: the fewest single-letter edits that turn
// wanted into a part of the name, then into the whole name (letters compared without regard
// to case), then in the order given.
std::vector<std::string> ClosestSites(std::string_view wanted,
                                      const std::vector<std::string>& sites, std::size_t count);

}  // namespace pellimor
