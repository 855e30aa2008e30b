// Chromium's older "block-file" disk cache (Chrome on Windows and macOS until 2023, and
// many copies kept since). One folder:
//
//   index     IndexHeader (368 bytes), then a hash table of table_len CacheAddr (4 bytes
//             each). Each non-empty slot starts a chain of entries linked through `next`.
//   data_N    block files: BlockFileHeader (8192 bytes, with the allocation bitmap), then
//             blocks of one size: data_0 36-byte rankings nodes, data_1 256-byte entries
//             and small data, data_2 1 KiB, data_3 4 KiB blocks.
//   f_XXXXXX  one external file per large stream (6 hex digits): the stream as stored.
//
// A CacheAddr (32 bits) names where something lives:
//   bit 31       initialised
//   bits 28-30   file type: 0 external file, 1 rankings, 2 256-byte blocks, 3 1 KiB,
//                4 4 KiB, 5 block-file bookkeeping, 6 entries (v3), 7 evicted (v3)
//   external:    bits 0-27   the f_ file's number
//   block files: bits 24-25  number of blocks less one
//                bits 16-23  the data_N file's number
//                bits 0-15   the first block
//
// EntryStore (256 bytes, in a 256-byte block file; a long inline key takes up to 4 blocks):
//   hash, next, rankings node, reuse and refetch counts, state, creation time, key length,
//   long key address, data_size[4], data_addr[4], flags, then the key inline. Stream 0
//   holds the response (a pickled HttpResponseInfo), stream 1 the body.
// Times are microseconds since 1601-01-01 UTC.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pellimor::chromium_blockfile {

inline constexpr std::uint32_t kIndexMagic = 0xC103CAC3;
inline constexpr std::uint32_t kVersion2_0 = 0x20000;
inline constexpr std::uint32_t kVersion2_1 = 0x20001;
inline constexpr std::uint32_t kVersion3_0 = 0x30000;

// IndexHeader.
inline constexpr std::size_t kIndexMagicOffset = 0;
inline constexpr std::size_t kIndexVersionOffset = 4;
inline constexpr std::size_t kIndexEntryCountOffset = 8;
inline constexpr std::size_t kIndexTableLengthOffset = 28;
inline constexpr std::size_t kIndexHeaderSize = 368;  // fields, padding and the LRU data
// A table length of 0 means the default size.
inline constexpr std::uint32_t kDefaultTableLength = 0x10000;
inline constexpr std::size_t kCacheAddrSize = 4;

// BlockFileHeader.
inline constexpr std::uint32_t kBlockMagic = 0xC104CAC3;
inline constexpr std::size_t kBlockMagicOffset = 0;
inline constexpr std::size_t kBlockEntrySizeOffset = 12;
inline constexpr std::size_t kBlockHeaderSize = 8192;

// CacheAddr.
inline constexpr std::uint32_t kAddrInitialized = 0x80000000;
inline constexpr std::uint32_t kAddrFileTypeMask = 0x70000000;
inline constexpr unsigned kAddrFileTypeShift = 28;
inline constexpr std::uint32_t kAddrFileNumberMask = 0x0FFFFFFF;
inline constexpr std::uint32_t kAddrBlockCountMask = 0x03000000;
inline constexpr unsigned kAddrBlockCountShift = 24;
inline constexpr std::uint32_t kAddrFileSelectorMask = 0x00FF0000;
inline constexpr unsigned kAddrFileSelectorShift = 16;
inline constexpr std::uint32_t kAddrStartBlockMask = 0x0000FFFF;
inline constexpr unsigned kMaxBlocksPerRecord = 4;

enum FileType : std::uint32_t {
    kExternal = 0,
    kRankings = 1,
    kBlock256 = 2,
    kBlock1K = 3,
    kBlock4K = 4,
    kBlockFiles = 5,
    kBlockEntries = 6,
    kBlockEvicted = 7,
};

// The size of one block of each file type; 0 for the external files.
inline constexpr std::size_t kBlockSizes[] = {0, 36, 256, 1024, 4096, 8, 104, 48};

// EntryStore.
inline constexpr std::size_t kEntryNextOffset = 4;
inline constexpr std::size_t kEntryRankingsOffset = 8;
inline constexpr std::size_t kEntryCreationTimeOffset = 24;
inline constexpr std::size_t kEntryKeyLengthOffset = 32;
inline constexpr std::size_t kEntryLongKeyOffset = 36;
inline constexpr std::size_t kEntryDataSizeOffset = 40;  // int32[4]
inline constexpr std::size_t kEntryDataAddrOffset = 56;  // CacheAddr[4]
inline constexpr std::size_t kEntryKeyOffset = 96;
inline constexpr std::size_t kEntrySize = 256;
inline constexpr int kStreamCount = 4;
inline constexpr int kHeadersStream = 0;
inline constexpr int kBodyStream = 1;

// RankingsNode: last used, last modified (Chrome times), then links.
inline constexpr std::size_t kRankingsLastUsedOffset = 0;

// External files: "f_" and 6 hex digits.
inline constexpr char kExternalPrefix[] = "f_";
inline constexpr char kDataPrefix[] = "data_";
inline constexpr char kIndexName[] = "index";

}  // namespace pellimor::chromium_blockfile
