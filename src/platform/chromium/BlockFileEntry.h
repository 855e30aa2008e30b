// One EntryStore of a block-file cache, read from its blocks: key, streams, times.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <unordered_set>

#include "platform/chromium/BlockFileStore.h"
#include "ports/Result.h"

namespace pellimor::chromium {

struct BlockFileEntry {
    std::string key;
    // Why a long key could not be read (its block file is missing ...); the rest stands.
    std::string keyUnreadable;
    bool keyShared = false;  // its long key lies where an entry read before keeps its own
    std::uint32_t next = 0;
    std::uint32_t rankings = 0;
    std::uint32_t longKey = 0;       // where a key too long for the entry's blocks lies
    std::uint64_t creationTime = 0;  // Chromium time
    std::array<std::uint32_t, 4> dataSize{};
    std::array<std::uint32_t, 4> dataAddr{};
};

// The entry at addr (a 256-byte block address), its long key read where it lives. Given
// the long keys read before, a key stored where one of them is (a crafted cache giving one
// stored key to many entries) is not read again: the entry says so in keyUnreadable.
Result<BlockFileEntry> ReadBlockFileEntry(
    BlockFileStore& store, std::uint32_t addr,
    std::unordered_set<std::uint32_t>* longKeysRead = nullptr);

}  // namespace pellimor::chromium
