// Small helpers shared by the Firefox cache tests.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ports/CacheSource.h"
#include "support/Compressed.h"

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
    for (const CacheEntry& entry : listing.entries) {
        if (entry.url == url) {
            return &entry;
        }
    }
    return nullptr;
}

}  // namespace pellimor::test
