// Which cached file answers an address: what a movie playing under its own address loads
// is looked up here, so that its levels, sounds and pictures come from the cache.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "ports/CacheSource.h"
#include "sites/Addresses.h"

namespace pellimor {

struct CachedFile {
    std::string localPath;    // the body as a file of its own; empty: read through the cache
    std::string contentType;  // the media type the server sent, or empty
    EntryId id;               // the entry, for a body kept inside the cache's own files
    std::optional<UnixTime> time;
};

// The file a movie loading the entry's address would get: its own file, or its body inside
// the cache; nothing for cookies, history and records that keep no body.
std::optional<CachedFile> FileOfEntry(const CacheEntry& entry);

class CacheAddressBook {
  public:
    // Reads every entry that has an address and a body; cookies and history are not files
    // a movie loads. Within one cache the first entry of an address wins, as in the cache's
    // lookup; of several caches, the one that fetched it last.
    Status Build(CacheSource& cache);

    // The file of this address: the exact address first, then the first cached address
    // that is the same without its query part.
    std::optional<CachedFile> Find(std::string_view url) const;

    std::size_t size() const { return exact_.size(); }

  private:
    std::unordered_map<std::string, CachedFile> exact_;
    std::unordered_map<std::string, CachedFile> withoutQuery_;
};

// The one address book of a window's players: read from the cache on the first load after a
// scan and kept for every movie until the cache is said to have changed (a scan, a refresh,
// a delete). Reading 100,000 entries for each movie shown made every first load slow.
class SharedAddressBook {
  public:
    explicit SharedAddressBook(CacheSource* cache) : cache_(cache) {}

    // The book as the cache is now, read if it is not yet; null without a cache.
    const CacheAddressBook* Current();
    // The cache may differ now: the next load reads it again.
    void CacheChanged() { current_ = false; }

    // How many times the cache was read.
    int builds() const { return builds_; }

  private:
    CacheSource* cache_;
    CacheAddressBook book_;
    bool current_ = false;
    int builds_ = 0;
};

}  // namespace pellimor
