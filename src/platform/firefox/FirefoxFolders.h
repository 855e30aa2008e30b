// Which folders hold a Firefox cache, judged by what is in them; names are matched ignoring
// case, since copies made through FAT sticks and zips change it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pellimor {

// A cache2 folder (entries/ beside index, or a flat folder of entry files) with at least
// one file that reads as an entry, or an index beside entries/.
bool IsFirefoxCache2(const std::string& folder);

// Firefox's cache before version 32: _CACHE_MAP_ or the block files _CACHE_001_ ... with a
// record in them.
bool IsFirefoxCacheV1(const std::string& folder);

namespace firefox {

// The names in folder (not "." and ".."), sorted; empty when it cannot be read.
std::vector<std::string> NamesIn(const std::string& folder);

// The name in folder equal to name ignoring case; the exact spelling wins.
std::optional<std::string> FindIgnoringCase(const std::string& folder, std::string_view name);

}  // namespace firefox

}  // namespace pellimor
