// Firefox's cache before version 32 on any bytes: the input is scanned as a block file in
// memory, parsed as a map and a record, then cut at each "|FILE|" into _CACHE_MAP_,
// _CACHE_001_, _CACHE_002_ and _CACHE_003_ (absent where the input has fewer parts),
// written to a folder, listed and every body read. No crash, no hang, no read out of range.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <span>
#include <string>

#include "FuzzFolder.h"
#include "platform/firefox/CacheV1.h"
#include "platform/firefox/CacheV1Format.h"

namespace {

const std::string& Folder() {
    static const std::string folder = pellimor::fuzz::MakeScratchFolder("fuzz_firefox_v1");
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    namespace v1 = pellimor::firefox::v1;
    const std::span<const std::uint8_t> bytes(data, size);
    (void)v1::ParseMap(bytes);
    if (const auto record = v1::ParseRecord(bytes); record && record->totalSize > size) {
        abort();
    }
    v1::ScanBlockFile(bytes, 1 + size % v1::kBlockFileCount, [size](const v1::FoundRecord& found) {
        if (found.offset + found.record.totalSize > size) {
            abort();
        }
        (void)v1::UrlOfKey(found.record.key);
        return true;
    });

    pellimor::fuzz::WriteParts(Folder(), data, size,
                               {"_CACHE_MAP_", "_CACHE_001_", "_CACHE_002_", "_CACHE_003_"});
    auto cache = pellimor::FirefoxCacheV1::Open(Folder());
    if (!cache) {
        abort();
    }
    (void)(*cache)->Enumerate([&](const pellimor::CacheEntry& entry) {
        (void)(*cache)->ReadBody(entry.id, 1 << 20);
        return true;
    });
    return 0;
}
