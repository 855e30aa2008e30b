// Caches crafted to cost a listing far more than they hold, for the tests and benchmarks:
// many entries sharing one stored address, and entry files cut short before their end
// records with a great many holes. Each maker writes into a folder that exists.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace pellimor::test {

// "http://games.example/aaa....swf", length bytes.
std::string LongAddress(char fill, std::size_t length);

// Firefox before version 32: two records holding the addresses, and a map of `records`
// records naming them by turns.
void MakeSharedRecordsV1(const std::string& folder, std::size_t records,
                         const std::string (&addresses)[2]);

// Chrome's block files: `entries` entries whose long keys lie in f_000001 and f_000002 by
// turns, sharing one body block that begins as a movie.
void MakeSharedKeysBlockFiles(const std::string& folder, std::size_t entries,
                              const std::string (&addresses)[2]);

// Chrome's simple cache and Firefox's cache2: two entry files, linked under `names` names
// in all by turns.
void MakeLinkedSimple(const std::string& folder, std::size_t names,
                      const std::string (&addresses)[2]);
void MakeLinkedCache2(const std::string& folder, std::size_t names,
                      const std::string (&addresses)[2]);

// Chrome's simple cache of `files` entry files cut short after the body's first bytes, each
// then grown with holes to `size` bytes: no end record anywhere.
void MakeCutShortSimple(const std::string& folder, std::size_t files, std::uint64_t size);

}  // namespace pellimor::test
