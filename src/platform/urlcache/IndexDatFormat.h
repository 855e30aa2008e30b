// The WinINet URL cache container, index.dat. All numbers little-endian.
//
// Header (offset 0):
//   0x000 char[28]  signature "Client UrlCache MMF Ver 5.2\0" (IE) or "WINE URLCache Ver
//   0.2012001\0" 0x01C u32       file size in bytes 0x020 u32       offset of the first hash table
//   0x024 u32       capacity in blocks
//   0x028 u32       blocks in use
//   0x02C u32       unknown, 0
//   0x030 u64       cache size limit
//   0x038 u64       cache usage (bytes of non-sticky cached files)
//   0x040 u64       exempt usage (bytes of sticky cached files)
//   0x048 u32       number of cache sub-folders (at most 32)
//   0x04C 32 x {u32 file count; char[8] folder name}
//   0x1CC u32[33]   header data; [0x16] (at 0x224) heads the list of LEAK records
//   0x250 u8[...]   allocation bitmap up to 0x4000: bit (b & 7) of byte b / 8 set = block b used
// Blocks of 128 bytes start at 0x4000; block b is at 0x4000 + 128 b.
//
// Every record starts with {char[4] signature; u32 blocks used}.
// HASH: 0x08 u32 next hash table offset (0 = last); 0x0C u32 sequence number from 0;
//   0x10 448 x {u32 key; u32 record offset}. Key 3 = free, 1 = deleted; otherwise the low
//   6 bits are the kind (0 URL, 5 REDR) and the rest are hash bits.
// URL / LEAK (offsets from the record's start):
//   0x08 u64 last modified   0x10 u64 last access   0x18 u16 u16 expiry (DOS date, time)
//   0x20 u64 file size       0x2C u32 exempt delta (LEAK: next LEAK record)
//   0x34 u32 URL offset      0x38 u8 sub-folder index (0xFE: none, file in the container folder)
//   0x3C u32 file name offset  0x40 u32 entry type  0x44 u32 headers offset  0x48 u32 headers size
//   0x4C u32 extension offset  0x50 u16 u16 last sync (DOS)  0x54 u32 hit count  0x58 u32 use count
//   0x5C u16 u16 file write time (DOS)   0x68 URL text; then file name, headers, extension,
//   each starting at a multiple of 4. Offsets of zero mean "none".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace pellimor::indexdat {

constexpr std::string_view kIeSignature{"Client UrlCache MMF Ver 5.2\0", 28};
constexpr std::string_view kWineSignature{"WINE URLCache Ver 0.2012001\0", 28};

constexpr std::size_t kSignatureSize = 28;
constexpr std::size_t kFileSizeAt = 0x1C;
constexpr std::size_t kHashTableAt = 0x20;
constexpr std::size_t kCapacityAt = 0x24;
constexpr std::size_t kBlocksInUseAt = 0x28;
constexpr std::size_t kCacheLimitAt = 0x30;
constexpr std::size_t kCacheUsageAt = 0x38;
constexpr std::size_t kExemptUsageAt = 0x40;
constexpr std::size_t kFolderCountAt = 0x48;
constexpr std::size_t kFoldersAt = 0x4C;
constexpr std::size_t kFolderRecordSize = 12;
constexpr std::size_t kFolderNameSize = 8;
constexpr std::uint32_t kMaxFolders = 32;
constexpr std::size_t kHeaderDataAt = 0x1CC;
constexpr std::size_t kLeakListHeadAt = kHeaderDataAt + 4 * 0x16;
constexpr std::size_t kBitmapAt = 0x250;
constexpr std::size_t kBlocksStart = 0x4000;
constexpr std::size_t kBlockSize = 128;
constexpr std::uint32_t kMaxBlocks = (kBlocksStart - kBitmapAt) * 8;
constexpr std::uint32_t kInitialBlocks = 128;

constexpr std::uint32_t kHashTableBlocks = 0x20;
constexpr std::uint32_t kHashItems = 448;
constexpr std::uint32_t kHashBuckets = 64;
constexpr std::uint32_t kItemsPerBucket = kHashItems / kHashBuckets;
// A hash table's header: signature, block count, the next table's offset, its number.
constexpr std::size_t kHashNextTableAt = 8;
constexpr std::size_t kHashTableNumberAt = 12;
constexpr std::size_t kHashItemsAt = 0x10;
constexpr std::size_t kHashItemSize = 8;
constexpr std::uint32_t kHashFree = 3;
constexpr std::uint32_t kHashDeleted = 1;
constexpr std::uint32_t kHashFlagBits = 6;
// The kind in a live item's low bits: a URL record, one handed out to a program, a REDR.
constexpr std::uint32_t kHashKindUrl = 0;
constexpr std::uint32_t kHashKindLocked = 2;
constexpr std::uint32_t kHashKindRedirect = 5;

constexpr std::uint8_t kNoSubfolder = 0xFE;
constexpr std::uint32_t kPendingDelete = 0x00400000;
// An entry of the sticky kind counts against the exempt usage, and is kept a day at least.
constexpr std::uint32_t kStickyEntry = 0x00000004;
constexpr std::uint32_t kStickyExemptSeconds = 86400;

// Record signatures as they read in little-endian order.
constexpr std::uint32_t Signature(const char (&s)[5]) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(s[0])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(s[1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(s[2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(s[3])) << 24;
}
constexpr std::uint32_t kHashSignature = Signature("HASH");
constexpr std::uint32_t kUrlSignature = Signature("URL ");
constexpr std::uint32_t kLeakSignature = Signature("LEAK");
constexpr std::uint32_t kRedirectSignature = Signature("REDR");

namespace url {
constexpr std::size_t kLastModified = 0x08;
constexpr std::size_t kLastAccess = 0x10;
constexpr std::size_t kExpiry = 0x18;
constexpr std::size_t kFileSize = 0x20;
constexpr std::size_t kExemptDelta = 0x2C;
constexpr std::size_t kUnknown60 = 0x30;
constexpr std::size_t kUrlOffset = 0x34;
constexpr std::size_t kSubfolder = 0x38;
constexpr std::size_t kUnknown1010 = 0x3A;
constexpr std::size_t kFileNameOffset = 0x3C;
constexpr std::size_t kEntryType = 0x40;
constexpr std::size_t kHeadersOffset = 0x44;
constexpr std::size_t kHeadersSize = 0x48;
constexpr std::size_t kExtensionOffset = 0x4C;
constexpr std::size_t kLastSync = 0x50;
constexpr std::size_t kHitCount = 0x54;
constexpr std::size_t kUseCount = 0x58;
constexpr std::size_t kWriteTime = 0x5C;
constexpr std::size_t kFixedSize = 0x68;
}  // namespace url

namespace redirect {
constexpr std::size_t kUrl = 0x10;  // a REDR record's address text
}  // namespace redirect

}  // namespace pellimor::indexdat
