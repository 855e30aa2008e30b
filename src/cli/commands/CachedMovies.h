// The movies info and needs read from the cache: chosen as the other commands choose, each
// read as far as its facts need.
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "catalogue/BodyReading.h"
#include "catalogue/SwfFacts.h"
#include "cli/CacheOpening.h"
#include "ports/Decompressor.h"

namespace pellimor {

struct CachedMovie {
    SwfEntry entry;
    std::optional<BodyStart> start;
    std::string error;
};

SwfFacts FactsOf(const BodyStart& start, Decompressor& decompressor);

// Lists the cache as the other commands do and reads the movies named; the exit status
// instead when they cannot be chosen.
std::variant<std::vector<CachedMovie>, int> ChooseCachedMovies(Selection& s,
                                                               OpenedListing& listing);

}  // namespace pellimor
