// What an export needs to know of the whole cache, gathered in one pass for every movie
// exported: which file answers an address, which addresses differ by their query alone,
// when each file was last changed on its server, and which pages may have embedded a movie.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "catalogue/CacheAddressBook.h"
#include "ports/CacheSource.h"

namespace pellimor {

struct CachedPage {
    std::string url;
    std::string site;
    CachedFile file;
};

class ExportIndex {
  public:
    // Reads the cache's entries; what could not be read is told, the rest stands.
    Status Build(CacheSource& cache);

    std::optional<CachedFile> Find(std::string_view url) const { return book_.Find(url); }
    // Whether the cache holds another address that is the same without its query part.
    bool QueryMatters(std::string_view url) const;
    // The day (YYYY-MM-DD) of the Last-Modified header the server sent with url, or of the
    // time the cache keeps as its last change.
    std::optional<std::string> LastModifiedDay(std::string_view url) const;
    // The HTML pages of the cache, in its order.
    const std::vector<CachedPage>& pages() const { return pages_; }

  private:
    CacheAddressBook book_;
    struct Variants {
        std::string first;     // the first address met
        bool several = false;  // another address is the same without its query
    };
    std::unordered_map<std::string, Variants> variants_;  // by the address without query
    std::unordered_map<std::string, UnixTime> lastModified_;
    std::vector<CachedPage> pages_;
};

// YYYY-MM-DD of a time.
std::string DayOf(UnixTime time);

// The time of an HTTP date ("Wed, 24 Jun 2009 12:30:00 GMT", and the two older forms).
std::optional<UnixTime> ParseHttpDate(std::string_view text);

}  // namespace pellimor
