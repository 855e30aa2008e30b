// One EntryStore of a block-file cache, read from its blocks: key, streams, times.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/chromium/BlockFileStore.h"
#include "ports/Result.h"

namespace pellimor::chromium {

struct BlockFileEntry {
    std::string key;
    // Why a long key could not be read (its block file is missing ...); the rest stands.
    std::string keyUnreadable;
    std::uint32_t next = 0;
    std::uint32_t rankings = 0;
    std::uint32_t longKey = 0;       // where a key too long for the entry's blocks lies
    std::uint64_t creationTime = 0;  // Chromium time
    std::array<std::uint32_t, 4> dataSize{};
    std::array<std::uint32_t, 4> dataAddr{};
};

// The entry at addr (a 256-byte block address), its long key read where it lives.
Result<BlockFileEntry> ReadBlockFileEntry(BlockFileStore& store, std::uint32_t addr);

}  // namespace pellimor::chromium
