#include "platform/chromium/BlockFileIndex.h"

#include <algorithm>
#include <unordered_set>

#include "ground/ByteReader.h"
#include "platform/chromium/BlockFileFormat.h"
#include "platform/chromium/ReadAt.h"
#include "platform/fileops/ConfinedFile.h"

namespace pellimor::chromium {

namespace {

namespace fmt = chromium_blockfile;

// The index: a header and 64 Ki addresses in every cache Chromium made; room to spare.
constexpr std::uint64_t kMaxIndexSize = 64u << 20;

bool InUse(std::uint32_t addr) {
    return (addr & fmt::kAddrInitialized) != 0;
}

}  // namespace

Status WalkIndex(BlockFileStore& store, const std::string& folder,
                 const std::function<bool(std::uint32_t, const BlockFileEntry&)>& visit) {
    const auto index = store.Find(fmt::kIndexName);
    if (!index) {
        return Fail(folder + " holds no index of Chrome's cache");
    }
    const std::string bytes =
        PELLIMOR_TRY(ReadWithin(store.root() + "/" + *index, store.root(), kMaxIndexSize));
    const ByteReader reader(AsBytes(bytes));
    const auto magic = reader.U32(fmt::kIndexMagicOffset);
    const auto version = reader.U32(fmt::kIndexVersionOffset);
    const auto tableLength = reader.U32(fmt::kIndexTableLengthOffset);
    if (!magic || !version || !tableLength || reader.size() < fmt::kIndexHeaderSize) {
        return Fail(folder + ": the index is too short for Chrome's cache");
    }
    if (*magic != fmt::kIndexMagic) {
        return Fail(folder + ": the index is no index of Chrome's block-file cache");
    }
    if (*version != fmt::kVersion2_0 && *version != fmt::kVersion2_1 &&
        *version != fmt::kVersion3_0) {
        return Fail(folder + ": the index has an unknown version (" +
                    std::to_string(*version >> 16) + "." + std::to_string(*version & 0xffff) + ")");
    }
    const std::uint64_t wanted = *tableLength == 0 ? fmt::kDefaultTableLength : *tableLength;
    const std::uint64_t present = (reader.size() - fmt::kIndexHeaderSize) / fmt::kCacheAddrSize;
    const std::uint64_t slots = std::min(wanted, present);

    std::string problem = slots < wanted
                              ? "the index's table is cut short (" + std::to_string(present) +
                                    " of " + std::to_string(wanted) + " slots)"
                              : std::string();
    std::size_t unreadable = 0;
    auto note = [&](const std::string& what) {
        if (unreadable++ == 0 && problem.empty()) {
            problem = what;
        }
    };
    // Every entry is reached once; an address seen again means the chains loop or cross.
    std::unordered_set<std::uint32_t> seen;
    // Each long key is read for one entry only, however many entries point at it.
    std::unordered_set<std::uint32_t> longKeys;
    for (std::uint64_t slot = 0; slot < slots; ++slot) {
        std::uint32_t addr = *reader.U32(fmt::kIndexHeaderSize +
                                         static_cast<std::size_t>(slot) * fmt::kCacheAddrSize);
        while (InUse(addr)) {
            if (!seen.insert(addr).second) {
                note("the chain of slot " + std::to_string(slot) + " loops");
                break;
            }
            Result<BlockFileEntry> read = ReadBlockFileEntry(store, addr, &longKeys);
            if (!read) {
                note(read.error());
                break;
            }
            if (read->keyShared) {
                note("the entry at " + std::to_string(addr) + ": " + read->keyUnreadable);
            }
            if (!visit(addr, *read)) {
                return Done{};
            }
            addr = read->next;
        }
    }
    if (!problem.empty()) {
        return Fail(folder + ": " + problem +
                    (unreadable > 1 ? " (and " + std::to_string(unreadable - 1) + " more)" : ""));
    }
    return Done{};
}

}  // namespace pellimor::chromium
