// When a game came out, as far as the cache and the movie tell it: the server's
// Last-Modified for the movie, else the cache entry's last change, else the day the movie's
// own metadata says it was made, else the day its compiler stamped into it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "catalogue/SwfEntry.h"
#include "catalogue/SwfFacts.h"
#include "files/ExportIndex.h"

namespace pellimor {

// YYYY-MM-DD, or nothing when none of them says. facts: the movie's, when it could be read.
std::optional<std::string> ReleaseDate(const SwfEntry& movie, const ExportIndex& index,
                                       const SwfFacts* facts);

// The day an XMP packet says the movie was made (xmp:CreateDate, as an attribute or an
// element): its first YYYY-MM-DD within a few bytes of the name.
std::optional<std::string> CreateDay(std::string_view metadata);

}  // namespace pellimor
