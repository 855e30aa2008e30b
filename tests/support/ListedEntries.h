// Every entry a cache source lists with what the listing said, the one of an address among
// them, and an entry's facts on one line, so that a test states a whole entry at once.
#pragma once

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "ports/CacheSource.h"

namespace pellimor::test {

struct Listing {
    std::vector<CacheEntry> entries;
    Status status;
};

inline Listing ListAll(CacheSource& source) {
    Listing listing;
    listing.status = source.Enumerate([&listing](const CacheEntry& entry) {
        listing.entries.push_back(entry);
        return true;
    });
    return listing;
}

inline const CacheEntry* FindByUrl(const Listing& listing, const std::string& url) {
    const auto& all = listing.entries;
    const auto found = std::find_if(all.begin(), all.end(), [&](auto& e) { return e.url == url; });
    return found == all.end() ? nullptr : &*found;
}

// "file#locator source kind url | type enc size start | modified access expires | local
// typed-by-name | unreadable": no headers; bytes outside ASCII's printable ones as \xNN.
inline std::string Fields(const CacheEntry& e) {
    const auto time = [](const std::optional<UnixTime>& t) {
        return t ? std::to_string(*t) : std::string("-");
    };
    std::string start;
    for (const unsigned char c : e.bodyStart) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02x", c);
        start += c >= 0x20 && c < 0x7f ? std::string(1, static_cast<char>(c)) : hex;
    }
    char locator[24];
    std::snprintf(locator, sizeof locator, "#%llx", static_cast<unsigned long long>(e.id.locator));
    return e.id.file + locator + " " + std::string(e.sourceName) + " " +
           (e.kind == EntryKind::kDocument ? "document " : "other ") + e.url.value_or("-") + " | " +
           e.contentType + " " + e.contentEncoding + " " +
           (e.size ? std::to_string(*e.size) : "-") + " " + start + " | " + time(e.lastModified) +
           " " + time(e.lastAccess) + " " + time(e.expires) + " | " +
           e.localFileName.value_or("-") + (e.typedByFileName ? " by-name" : "") + " | " +
           e.unreadable;
}

}  // namespace pellimor::test
