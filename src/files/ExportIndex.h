// What an export needs to know of the whole cache, gathered in one pass for every movie
// exported: which file answers an address, which addresses differ by their query alone,
// when each file was last changed on its server, and which pages may have embedded a movie.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "catalogue/CacheAddressBook.h"
#include "files/EmbeddingIndex.h"
#include "ports/CacheSource.h"
#include "ports/FileOps.h"

namespace pellimor {

class ExportIndex {
  public:
    // Reads the cache's entries, and its HTML pages for the movies they embed (each page once,
    // bodies kept as files of their own through files); what could not be read is told, the
    // rest stands.
    Status Build(CacheSource& cache, FileOps& files);

    // The file of an address: exactly that address, or the same without its query when the
    // cache holds no other address that differs from it by the query alone (then which of
    // them the movie asked for matters, and a guess would export the wrong file).
    std::optional<CachedFile> Find(std::string_view url) const;
    // Whether the cache holds another address that is the same without its query part.
    bool QueryMatters(std::string_view url) const;
    // The day (YYYY-MM-DD) of the Last-Modified header the server sent with url, or of the
    // time the cache keeps as its last change.
    std::optional<std::string> LastModifiedDay(std::string_view url) const;
    // The Content-Language header the server sent with url, as it was sent.
    std::optional<std::string> ContentLanguage(std::string_view url) const;
    // The first cached page of site (in the cache's order) that embeds the movie of url,
    // compared as resolved against the page's address, exactly or without the query.
    std::optional<PageEmbedding> PageOf(std::string_view url, std::string_view site) const {
        return pages_.PageOf(url, site);
    }

  private:
    CacheAddressBook book_;
    struct Variants {
        std::string first;     // the first address met
        bool several = false;  // another address is the same without its query
    };
    std::unordered_map<std::string, Variants> variants_;  // by the address without query
    std::unordered_set<std::string> exact_;               // every canonical address held
    std::unordered_map<std::string, UnixTime> lastModified_;
    std::unordered_map<std::string, std::string> contentLanguage_;  // only where one was sent
    EmbeddingIndex pages_;
};

// YYYY-MM-DD of a time.
std::string DayOf(UnixTime time);

// The time of an HTTP date ("Wed, 24 Jun 2009 12:30:00 GMT", and the two older forms).
std::optional<UnixTime> ParseHttpDate(std::string_view text);

}  // namespace pellimor
