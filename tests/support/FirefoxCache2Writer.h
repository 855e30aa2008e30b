// Firefox cache2 entry files made by the tests, laid out as Firefox lays them out (body,
// chunk hashes, header, key, elements, metadata offset; big-endian), so that the reader
// meets them as it meets Firefox's own.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace pellimor::test {

struct Cache2EntrySpec {
    std::string key;           // ":http://a.example/b.swf", "a,:http://..."
    std::string body;          // as stored (already encoded)
    std::string responseHead;  // "HTTP/1.1 200 OK\r\nContent-Type: ...\r\n"
    std::uint32_t version = 3;
    std::uint32_t fetchCount = 1;
    std::uint32_t lastFetched = 0;
    std::uint32_t lastModified = 0;
    std::uint32_t frecency = 0;
    std::uint32_t expiration = 0xFFFFFFFF;
    bool encrypted = false;      // version 4: the trailer's flag of an encrypted entry
    std::uint32_t bodyHole = 0;  // zero bytes after body, left as a hole of a sparse file
};

// Appends each value as four big-endian bytes, as both of Firefox's caches store numbers.
void AppendBig32(std::string& out, std::initializer_list<std::uint32_t> values);

// The whole entry file.
std::string Cache2EntryBytes(const Cache2EntrySpec& spec);

// A 40-digit upper-case hex name for a key (stands in for the SHA-1 Firefox uses; the
// reader does not check it).
std::string Cache2EntryName(std::string_view key);

// Writes the entry into folder under its key's name; the file's path.
std::string WriteCache2Entry(const std::string& folder, const Cache2EntrySpec& spec);

}  // namespace pellimor::test
