// The listing as text for people and as JSON for programs.
#pragma once

#include <string>

#include "catalogue/CacheScan.h"

namespace pellimor {

std::string ListingAsText(const ListingState& state, const std::string& cacheFolder);
std::string ListingAsJson(const ListingState& state, const std::string& cacheFolder);
// A JSON string literal; bytes that are not UTF-8 become U+FFFD.
std::string JsonString(const std::string& text);

}  // namespace pellimor
