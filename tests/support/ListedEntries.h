// Every entry a cache source lists, and the one of an address among them.
#pragma once

#include <string>
#include <vector>

#include "ports/CacheSource.h"

namespace pellimor::test {

inline std::vector<CacheEntry> ListAll(CacheSource& source, Status* status = nullptr) {
    std::vector<CacheEntry> entries;
    Status result = source.Enumerate([&](const CacheEntry& entry) {
        entries.push_back(entry);
        return true;
    });
    if (status != nullptr) {
        *status = result;
    }
    return entries;
}

inline const CacheEntry* ByUrl(const std::vector<CacheEntry>& entries, const std::string& url) {
    for (const CacheEntry& entry : entries) {
        if (entry.url == url) {
            return &entry;
        }
    }
    return nullptr;
}

}  // namespace pellimor::test
