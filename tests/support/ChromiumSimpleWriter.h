// Writes entries of Chromium's simple cache the way Chromium lays them out, so that the
// reader can be tested on real files of every shape, damaged ones included.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pellimor::test {

struct SimpleEntrySpec {
    std::string key;   // "1/0/_dk_<site> <site> <url>" or the url alone
    std::string body;  // stream 1, as stored (encoded when the headers say so)
    // Response lines, the status line first ("HTTP/1.1 200 OK", "Content-Type: ...").
    std::vector<std::string> headerLines = {"HTTP/1.1 200 OK"};
    std::int64_t responseTime = 1700000000;  // Unix time
    bool keySha256 = true;                   // Chromium writes it since 2018
    bool extraFlags = false;                 // the second flags word of newer writers
    bool truncatedFlag = false;              // stored while the body was still arriving
    std::string stream2;                     // written to `<hash>_1` when not empty
    bool sparse = false;                     // writes a `<hash>_s` file
};

// The pickled HttpResponseInfo Chromium stores as stream 0.
std::string PickledResponse(const SimpleEntrySpec& spec);

// The bytes of the `<hash>_0` file.
std::string SimpleEntryBytes(const SimpleEntrySpec& spec);

// "0123456789abcdef_0" and the like.
std::string SimpleEntryName(std::uint64_t hash, const char* suffix = "_0");

// Writes the entry's files into folder; returns the `_0` file's path.
std::string WriteSimpleEntry(const std::string& folder, std::uint64_t hash,
                             const SimpleEntrySpec& spec);

// Writes the simple cache's own `index` file (its magic and version only).
void WriteSimpleIndex(const std::string& folder);

}  // namespace pellimor::test
