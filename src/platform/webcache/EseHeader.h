// The ESE database's file header, as far as Pellimor needs it: whether the file is an ESE
// database at all, its page size, and whether Windows closed it. Layout (little-endian),
// from libesedb's "Extensible Storage Engine (ESE) Database File (EDB) format":
//   0  u32  checksum: XOR of the header's 32-bit words from offset 4, starting at 0x89abcdef
//   4  u32  signature 0x89abcdef
//   8  u32  file format version (0x620)
//  12  u32  file type (0: database, 1: streaming file)
//  52  u32  database state (1 just created, 2 dirty shutdown, 3 clean shutdown,
//           4 being converted, 5 force detach)
// 236  u32  page size (2, 4, 8, 16 or 32 KiB)
// A copy of the header fills the second page.
#pragma once

#include <cstdint>
#include <span>

#include "ports/Result.h"

namespace pellimor::webcache {

inline constexpr std::size_t kEseHeaderSize = 668;
inline constexpr std::uint32_t kEseSignature = 0x89abcdef;
inline constexpr std::size_t kEseStateOffset = 52;
inline constexpr std::uint32_t kEseDirtyShutdown = 2;
inline constexpr std::uint32_t kEseCleanShutdown = 3;

struct EseHeader {
    std::uint32_t state = 0;
    std::uint32_t pageSize = 0;
    // Not closed by Windows: the newest rows may be only in the logs beside it.
    bool NotClosedCleanly() const { return state != kEseCleanShutdown; }
};

Result<EseHeader> ParseEseHeader(std::span<const std::uint8_t> bytes);

}  // namespace pellimor::webcache
