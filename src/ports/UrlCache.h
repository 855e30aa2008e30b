// The URL cache as the core sees it: walk every record, delete one by its address.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pellimor {

constexpr std::uint32_t kNormalCacheEntry = 0x00000001;
constexpr std::uint32_t kStickyCacheEntry = 0x00000004;
constexpr std::uint32_t kCookieCacheEntry = 0x00100000;
constexpr std::uint32_t kUrlHistoryCacheEntry = 0x00200000;

// One live record of the cache. Times are file times (100 ns ticks since 1601, UTC; 0 = none).
struct CacheRecord {
    std::uint32_t entryType = 0;
    std::optional<std::string> url;            // UTF-8
    std::optional<std::string> localFileName;  // full path on this machine, UTF-8
    std::uint64_t lastModified = 0;
    std::uint64_t lastAccess = 0;
    std::uint32_t expiresDos = 0;  // DOS date and time, local: see platform/urlcache/DosTime.h
    std::uint32_t lastSyncDos = 0;
    std::uint64_t recordedSize = 0;
    std::uint32_t hitCount = 0;
    std::string headers;
    std::string container;           // the index file the record came from
    std::uint32_t recordOffset = 0;  // where the record starts in it: with container, its identity
};

// An entry the user chose, as it was listed: which record of which container, and what it
// held then, so that a delete can check that the record there is still that entry.
struct CacheEntryRef {
    std::string container;
    std::uint32_t recordOffset = 0;
    std::optional<std::string> url;
    std::optional<std::string> localFileName;
};

// How an enumeration went: complete, or stopped by a container it could not read.
struct CacheStatus {
    bool ok = true;
    std::string error;  // for the user: what went wrong and where
};

class UrlCache {
  public:
    virtual ~UrlCache() = default;
    // Calls visit for every record in the cache's own order; visit returns false to stop.
    virtual CacheStatus Enumerate(const std::function<bool(const CacheRecord&)>& visit) = 0;
    // Deletes each chosen entry and its cached file: exactly that record, never another
    // with the same address. One status for each, in order; the entries of one container
    // are deleted together in one rewrite of it.
    virtual std::vector<CacheStatus> DeleteEntries(const std::vector<CacheEntryRef>& chosen) = 0;
    // Why nothing in this cache may be changed, for the user; empty when deleting is possible.
    virtual std::string ReadOnlyReason() { return {}; }
};

}  // namespace pellimor
