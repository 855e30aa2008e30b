// One record of a WinINet container as the platform's own cache library reports it: the
// index.dat reader's own terms, turned into the format-neutral CacheEntry by IndexDatCache.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace pellimor {

// Entry-type bits of a record.
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

}  // namespace pellimor
