// One listed movie: a cache entry whose file is a SWF movie, or a leftover SWF file.
#pragma once

#include <cstdint>
#include <string>

namespace pellimor {

struct SwfEntry {
    std::string url;                 // source address; for a leftover file its full path
    std::string lastModified;        // FormatLastModified text, or empty
    std::string sizeText;            // FormatSizeText text, or empty when the file cannot be opened
    std::string localPath;           // full path of the cached copy
    std::string displayName;         // DisplayNameFromPath(localPath), never empty once catalogued
    std::int32_t key = 0;            // 1, 2, 3 ... per scan; 0 means no entry
    std::string container;           // the cache record behind a cached movie: its container ...
    std::uint32_t recordOffset = 0;  // ... and where in it; a delete takes exactly that record

    bool IsLeftover() const { return url == localPath; }
    bool operator==(const SwfEntry&) const = default;
};

}  // namespace pellimor
