// Firefox's cache2 entry file (Firefox 32 and later), one entry per file, named by the
// SHA-1 of the entry's key (40 hex digits) in cache2/entries/. Numbers are big-endian.
//
//   [0, M)        the body as stored (still in its Content-Encoding)
//   M             metadata:
//                   uint32 hash of the metadata from the header on
//                   uint16 hash per 256 KiB chunk of the body (ceil(M / 256 KiB) of them)
//                   header: uint32 version, fetch count, last fetched, last modified,
//                           frecency, expiration time, key size; uint32 flags (version >= 2)
//                   key: key size bytes, then a NUL
//                   elements: "name\0value\0" pairs ("request-method", "response-head",
//                             "net-response-time-onstart" ...)
//   trailer       uint32 M, the offset of the metadata; from version 4 on preceded by a
//                 uint32 copy of the version (4), and M's top bit set when Firefox's disk-
//                 cache encryption sealed the entry (its body and metadata then cannot be
//                 read without the browser's key)
//
// Keys: tags separated by ',' (a ',' inside a tag is doubled), the last tag begins with ':'
// and holds the address: ":http://a/b", "a,:http://a/b" (anonymous), "O^...,:https://..."
// (origin attributes), "~predictor-origin,:http://a/" (the predictor's own records).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "ports/Result.h"

namespace pellimor::firefox::cache2 {

inline constexpr std::uint32_t kChunkSize = 256 * 1024;
inline constexpr std::size_t kOffsetFieldSize = 4;   // the trailing metadata offset
inline constexpr std::size_t kVersionFieldSize = 4;  // the version before it, from version 4
inline constexpr std::size_t kLongestTrailer = kOffsetFieldSize + kVersionFieldSize;
inline constexpr std::uint32_t kTrailerVersion = 4;  // the first with the two-word trailer
inline constexpr std::uint32_t kEncryptedFlag = 0x80000000;
inline constexpr std::size_t kMetadataHashSize = 4;
inline constexpr std::size_t kChunkHashSize = 2;
inline constexpr std::size_t kHeaderFieldSize = 4;
inline constexpr std::size_t kHeaderFieldsV1 = 7;  // version ... key size
inline constexpr std::size_t kHeaderFieldsV2 = 8;  // and flags
inline constexpr std::uint32_t kFirstVersion = 1;
inline constexpr std::uint32_t kFlagsVersion = 2;  // the first with the flags field
inline constexpr std::uint32_t kLastVersion = 4;
// Firefox limits an entry's metadata far below this; more is damage, not a cache entry.
inline constexpr std::size_t kMaxMetadataSize = 4 * 1024 * 1024;
inline constexpr std::uint32_t kNoExpiration = 0xFFFFFFFF;
inline constexpr std::size_t kEntryNameLength = 40;  // hex digits of a SHA-1

inline constexpr std::string_view kResponseHeadElement = "response-head";
inline constexpr std::string_view kPredictorTag = "~predictor";

struct Metadata {
    std::uint32_t bodyLength = 0;  // the metadata's offset
    std::uint32_t version = 0;
    std::uint32_t fetchCount = 0;
    std::uint32_t lastFetched = 0;
    std::uint32_t lastModified = 0;
    std::uint32_t frecency = 0;
    std::uint32_t expiration = 0;
    std::uint32_t flags = 0;
    std::string key;
    std::string elements;  // "name\0value\0" ...
};

struct Trailer {
    std::uint32_t bodyLength = 0;  // the metadata's offset
    std::size_t size = kOffsetFieldSize;
};

// The trailer from an entry file's last bytes (up to kLongestTrailer of them), checked
// against the file's size: the metadata must start before the trailer.
Result<Trailer> ReadTrailer(std::span<const std::uint8_t> last, std::uint64_t fileSize);

// The metadata from tail, the file's bytes from the trailer's bodyLength to its end.
Result<Metadata> ParseMetadata(std::span<const std::uint8_t> tail, const Trailer& trailer);

// Both steps on a whole entry file held in memory.
Result<Metadata> ParseEntryFile(std::span<const std::uint8_t> file);

// The address a key names (after the ':' that begins its last tag); nothing when the key
// holds none.
std::optional<std::string_view> UrlOfKey(std::string_view key);

// Whether a key is one of the predictor's records rather than a cached response.
bool IsPredictorKey(std::string_view key);

// Whether name is a 40-digit hex entry name (either case).
bool IsEntryName(std::string_view name);

}  // namespace pellimor::firefox::cache2
