// What the preview page may read: the movie shown and, for a movie with an address, every
// file the cache holds, found by address. A movie without one (a leftover file) reads
// nothing but itself.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "catalogue/CacheAddressBook.h"
#include "ports/FileOps.h"
#include "ports/Result.h"
#include "sites/Addresses.h"

namespace pellimor {

class MovieFiles {
  public:
    // files reads what is answered; the session's own keeps every read within the cache.
    // addresses: the book shared with the window's other players; one of its own when null.
    explicit MovieFiles(CacheSource* cache, FileOps* files = nullptr,
                        std::shared_ptr<SharedAddressBook> addresses = nullptr)
        : cache_(cache),
          files_(files),
          addresses_(addresses ? std::move(addresses)
                               : std::make_shared<SharedAddressBook>(cache)) {}

    // The movie now shown: its file, or its entry where the cache keeps the body inside its
    // own files. What it loads is looked up in the book as the last scan left the cache.
    void SetMovie(CachedFile movie, std::string address);

    // The file that answers a load of this address: the movie shown for its own address,
    // else the cache's file for it. Only while the movie shown has a web address.
    std::optional<CachedFile> ForAddress(std::string_view address);

    // The movie shown, asked for by its path; nothing else is read by path.
    std::optional<CachedFile> ForPath(std::string_view path) const;

    // The bytes of a file found above, read only where it is a regular file within the
    // cache (a link in the cache to a file elsewhere is no file of it), or why not.
    Result<std::string> Read(const CachedFile& file) const;

    // Whether the movie shown plays under its web address (else by its path).
    bool playsUnderAddress() const { return !address_.empty(); }
    // How many times the cache was read for loads.
    int cacheReads() const { return addresses_->builds(); }
    SharedAddressBook& addresses() const { return *addresses_; }

  private:
    CacheSource* cache_;
    FileOps* files_;
    CachedFile movie_;
    std::string address_;  // canonical
    std::shared_ptr<SharedAddressBook> addresses_;
};

}  // namespace pellimor
