// Firefox's cache before version 32, written by the tests: _CACHE_MAP_, the three block
// files and separate files, laid out as Firefox 3 or Firefox 4 and later lay them out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pellimor::test {

enum class V1BodyPlace { kBlockFile, kSeparateFile, kNone };

struct V1EntrySpec {
    std::string key;  // "HTTP:http://a.example/b.swf"
    std::string body;
    std::string responseHead;
    V1BodyPlace bodyPlace = V1BodyPlace::kBlockFile;
    std::uint32_t hash = 0;  // the map's hash number; non-zero, distinct per entry
    std::uint32_t fetchCount = 1;
    std::uint32_t lastFetched = 0;
    std::uint32_t lastModified = 0;
    std::uint32_t expiration = 0xFFFFFFFF;
};

struct V1CacheSpec {
    bool firefox3 = false;  // 4,096-byte bitmaps and version 0x0001000B
    std::vector<V1EntrySpec> entries;
};

// Writes the cache into folder (which exists).
void WriteV1Cache(const std::string& folder, const V1CacheSpec& spec);

// The block file and first block a record of this size goes to, as Firefox chooses.
std::uint32_t V1BlockFileFor(std::size_t size);

}  // namespace pellimor::test
