// What the preview page may read: the movie shown and, for a movie with an address, every
// file the cache holds, found by address. A movie without one (a leftover file) reads
// nothing but itself.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "catalogue/CacheAddressBook.h"

namespace pellimor {

// Whether a movie with this address can play under it: an address of the web.
bool IsWebAddress(std::string_view address);

class MovieFiles {
  public:
    explicit MovieFiles(UrlCache* cache) : cache_(cache) {}

    // The movie now shown. The cache is read again for the next load, since a scan, a
    // delete or the browser may have changed it since the last movie.
    void SetMovie(std::string localPath, std::string address);

    // The file that answers a load of this address: the movie shown for its own address,
    // else the cache's file for it. Only while the movie shown has a web address.
    std::optional<CachedFile> ForAddress(std::string_view address);

    // The movie shown, asked for by its path; nothing else is read by path.
    std::optional<CachedFile> ForPath(std::string_view path) const;

    // Whether the movie shown plays under its web address (else by its path).
    bool playsUnderAddress() const { return !address_.empty(); }
    // How many times the cache was read for loads.
    int cacheReads() const { return cacheReads_; }

  private:
    UrlCache* cache_;
    std::string localPath_;
    std::string address_;  // canonical
    CacheAddressBook book_;
    bool bookRead_ = false;
    int cacheReads_ = 0;
};

}  // namespace pellimor
