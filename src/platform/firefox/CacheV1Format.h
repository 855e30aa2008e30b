// Firefox's disk cache before version 32 (Firefox 3 to 31): the Cache folder holds
//
//   _CACHE_MAP_        header (version, data size, entry count, dirty flag, record count,
//                      eviction rank and usage of 32 buckets: 276 bytes), then record count
//                      records of 16 bytes: hash number, eviction rank, data location,
//                      meta location
//   _CACHE_001_..003_  block files: a bitmap of used blocks, then blocks of 256, 1,024 and
//                      4,096 bytes. The bitmap is 4,096 bytes in Firefox 3; later 16,384,
//                      4,096 and 1,024 bytes
//   X/YY/ZZZZZ{d,m}GG  separate files for bodies and records too large for the block files,
//                      named by the hash (X its top digit, YY the next two, ZZZZZ the rest)
//                      and a generation; m holds the record, d the body
//
// A location (uint32): bit 31 set when used; bits 28-29 the file (0 separate, 1-3 block
// file); for a block file bits 24-25 the extra blocks (count - 1) and bits 0-23 the first
// block; for a separate file bits 8-23 its size in KiB and bits 0-7 its generation.
//
// A record (in a block file or an m file), big-endian:
//   uint32 header version (0x0001000B in Firefox 3 ...), meta location, fetch count, last
//   fetched, last modified, expiration time, data size, key size, metadata size;
//   then the key ("HTTP:http://...", with its NUL, key size bytes) and the metadata
//   ("name\0value\0" pairs, metadata size bytes: "request-method", "response-head" ...).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ports/Result.h"

namespace pellimor::firefox::v1 {

inline constexpr std::string_view kMapFileName = "_CACHE_MAP_";
inline constexpr std::uint32_t kBlockFileCount = 3;
inline constexpr std::size_t kBucketCount = 32;
inline constexpr std::size_t kMapHeaderFields = 5;
inline constexpr std::size_t kMapHeaderSize = (kMapHeaderFields + 2 * kBucketCount) * 4;
inline constexpr std::size_t kMapRecordSize = 16;
// Firefox never lets the map grow past 32 MiB of records.
inline constexpr std::size_t kMaxMapSize = kMapHeaderSize + 32 * 1024 * 1024;
inline constexpr std::uint32_t kMajorVersion = 0x00010000;
inline constexpr std::uint32_t kMajorVersionMask = 0xFFFF0000;

inline constexpr std::size_t kRecordHeaderFields = 9;
inline constexpr std::size_t kRecordHeaderSize = kRecordHeaderFields * 4;
inline constexpr std::uint32_t kNoExpiration = 0xFFFFFFFF;

inline constexpr std::uint32_t kLocationUsed = 0x80000000;
inline constexpr std::uint32_t kLocationReserved = 0x4C000000;
inline constexpr std::uint32_t kFileSelectorMask = 0x30000000;
inline constexpr int kFileSelectorShift = 28;
inline constexpr std::uint32_t kExtraBlocksMask = 0x03000000;
inline constexpr int kExtraBlocksShift = 24;
inline constexpr std::uint32_t kStartBlockMask = 0x00FFFFFF;
inline constexpr std::uint32_t kFileSizeMask = 0x00FFFF00;
inline constexpr int kFileSizeShift = 8;
inline constexpr std::uint32_t kGenerationMask = 0x000000FF;
inline constexpr std::uint32_t kSeparateFile = 0;

inline constexpr std::uint32_t kSmallestBlock = 256;
inline constexpr std::uint32_t kFirefox3BitmapSize = 4096;
// The largest record or body Firefox puts in block files: four blocks of the largest size.
inline constexpr std::uint32_t kMaxBlocksPerRecord = 4;
// A block file never outgrows its bitmap: 32 MiB of blocks and the bitmap.
inline constexpr std::uint64_t kMaxBlockFileSize = 33 * 1024 * 1024;

inline constexpr std::string_view kResponseHeadElement = "response-head";
// The key of a response to a POST: "HTTP:id=5363a864&uri=http://...".
inline constexpr std::string_view kPostIdPrefix = "id=";
inline constexpr std::string_view kPostUriPrefix = "&uri=";

// "_CACHE_001_" for 1 ...
std::string BlockFileName(std::uint32_t index);
std::uint32_t BlockSize(std::uint32_t index);  // 256, 1,024, 4,096
// Bytes of the bitmap before the first block, in Firefox 3 or later layout.
std::uint32_t BitmapSize(std::uint32_t index, bool firefox3);

struct Location {
    bool used = false;
    std::uint32_t file = 0;  // kSeparateFile or a block file's index
    std::uint32_t startBlock = 0;
    std::uint32_t blockCount = 0;
    std::uint32_t sizeKiB = 0;
    std::uint32_t generation = 0;
};
Location DecodeLocation(std::uint32_t value);

// "X/YY/ZZZZZdGG" (or m), the separate file of a hash and generation.
std::string SeparateFileName(std::uint32_t hash, bool metadata, std::uint32_t generation);

struct MapRecord {
    std::uint32_t index = 0;  // position in the map
    std::uint32_t hash = 0;
    std::uint32_t evictionRank = 0;
    std::uint32_t dataLocation = 0;
    std::uint32_t metaLocation = 0;
};

struct Map {
    std::uint32_t version = 0;
    std::uint32_t entryCount = 0;
    std::uint32_t recordCount = 0;
    std::vector<MapRecord> records;  // the ones in use, in map order
};

// The map; records that are empty or carry reserved bits are left out.
Result<Map> ParseMap(std::span<const std::uint8_t> bytes);

struct Record {
    std::uint32_t version = 0;
    std::uint32_t metaLocation = 0;
    std::uint32_t fetchCount = 0;
    std::uint32_t lastFetched = 0;
    std::uint32_t lastModified = 0;
    std::uint32_t expiration = 0;
    std::uint32_t dataSize = 0;
    std::string key;       // without its NUL
    std::string metadata;  // "name\0value\0" ...
    std::size_t totalSize = 0;
};

// The record at the start of bytes (more bytes may follow it).
Result<Record> ParseRecord(std::span<const std::uint8_t> bytes);

// The address in a key ("HTTP:http://a/b" and "HTTP:id=1&uri=http://a/b" give
// "http://a/b"); nothing without one.
std::optional<std::string_view> UrlOfKey(std::string_view key);
// Whether the key belongs to the HTTP cache (client "HTTP", "HTTP-memory-only" ...).
bool IsHttpKey(std::string_view key);

struct FoundRecord {
    std::size_t offset = 0;
    Record record;
};

// Finds records in a block file without its map by trying every block start; visit
// returns false to stop.
void ScanBlockFile(std::span<const std::uint8_t> bytes, std::uint32_t index,
                   const std::function<bool(const FoundRecord&)>& visit);

}  // namespace pellimor::firefox::v1
