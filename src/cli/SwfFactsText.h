// A movie's facts for people (aligned lines) and for programs (one JSON object).
#pragma once

#include <string>

#include "catalogue/SwfFacts.h"

namespace pellimor {

// Where the facts came from and, for a cached movie, under which address it was cached.
struct FactsSource {
    std::string name;     // the file's path, or the movie's display name
    std::string address;  // the movie's own address; empty for a file outside the cache
    std::string site;
};

// "ActionScript 3", "ActionScript 1/2", as the attributes and tags say.
std::string ScriptLanguage(const SwfFacts& facts);

// "yyyy-mm-dd hh:mm:ss UTC" of milliseconds since 1970.
std::string UtcTime(std::uint64_t milliseconds);

std::string FactsAsText(const FactsSource& source, const SwfFacts& facts);
std::string FactsAsJson(const FactsSource& source, const SwfFacts& facts);

}  // namespace pellimor
