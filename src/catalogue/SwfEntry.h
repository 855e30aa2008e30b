// One listed movie: a cache entry whose body is a SWF movie, or a leftover SWF file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "ports/CacheSource.h"

namespace pellimor {

struct SwfEntry {
    std::string url;           // source address; for a leftover file its full path
    std::string lastModified;  // FormatLastModified text, or empty
    std::string sizeText;      // FormatSizeText text, or empty when the file cannot be opened
    // Full path of the cached copy; empty where the cache keeps the body inside its own
    // files (then it is read through the cache by id).
    std::string localPath;
    std::string displayName;  // never empty once catalogued
    std::int32_t key = 0;     // 1, 2, 3 ... per scan; 0 means no entry
    // The size of the file at localPath is to be looked up when the entry is shown
    // (sizeText and sizeBytes are empty until then).
    bool sizeWhenShown = false;
    // What the listing knows beyond the texts above.
    EntryId id;                              // the cache entry behind a cached movie
    std::string source;                      // the cache's name: "Internet Explorer", "Chrome" ...
    std::optional<std::uint64_t> sizeBytes;  // what sizeText says, as a number
    std::optional<UnixTime> lastModifiedTime;
    std::string site;        // SiteFromUrl(url)
    std::string unreadable;  // why the body cannot be read; empty when it can

    bool IsLeftover() const { return !localPath.empty() && url == localPath; }
    bool operator==(const SwfEntry&) const = default;
};

}  // namespace pellimor
