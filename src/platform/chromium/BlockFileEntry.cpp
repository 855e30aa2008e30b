#include "platform/chromium/BlockFileEntry.h"

#include <algorithm>

#include "ground/ByteReader.h"
#include "platform/chromium/BlockFileFormat.h"
#include "platform/chromium/ReadAt.h"

namespace pellimor::chromium {

namespace {

namespace fmt = chromium_blockfile;

// Keys are URLs with a prefix; Chromium refuses far shorter ones than this.
constexpr std::uint32_t kMaxKeyLength = 1u << 20;

}  // namespace

Result<BlockFileEntry> ReadBlockFileEntry(BlockFileStore& store, std::uint32_t addr,
                                          std::unordered_set<std::uint32_t>* longKeysRead) {
    Result<std::string> record = store.Record(addr, fmt::kBlock256);
    if (!record) {
        return Failure{record.error()};
    }
    const ByteReader block(AsBytes(*record));
    if (block.size() < fmt::kEntrySize) {
        return Fail("an entry's record is cut short");
    }
    BlockFileEntry entry;
    entry.next = *block.U32(fmt::kEntryNextOffset);
    entry.rankings = *block.U32(fmt::kEntryRankingsOffset);
    entry.creationTime = *block.U64(fmt::kEntryCreationTimeOffset);
    for (int i = 0; i < fmt::kStreamCount; ++i) {
        entry.dataSize[i] = *block.U32(fmt::kEntryDataSizeOffset + 4 * i);
        entry.dataAddr[i] = *block.U32(fmt::kEntryDataAddrOffset + 4 * i);
    }
    const std::uint32_t keyLength = *block.U32(fmt::kEntryKeyLengthOffset);
    const std::uint32_t longKey = *block.U32(fmt::kEntryLongKeyOffset);
    entry.longKey = longKey;
    if (keyLength > kMaxKeyLength) {
        return Fail("an entry's key length (" + std::to_string(keyLength) + ") is out of range");
    }
    if (longKey == 0) {
        if (!block.Has(fmt::kEntryKeyOffset, keyLength)) {
            return Fail("an entry's key runs past its blocks");
        }
        entry.key = std::string(block.Text(fmt::kEntryKeyOffset, keyLength));
        return entry;
    }
    if (longKeysRead != nullptr && !longKeysRead->insert(longKey).second) {
        entry.keyUnreadable = "its address is stored where another entry's is";
        entry.keyShared = true;
        return entry;
    }
    Result<StoredStream> key = store.Stream(longKey, keyLength);
    if (!key || key->truncated) {
        entry.keyUnreadable =
            key ? "its address is cut short" : "its address cannot be read: " + key.error();
        return entry;
    }
    entry.key = std::move(key->bytes);
    // A long key is stored with its terminator in a block; keep the text before it.
    entry.key.resize(std::min(entry.key.size(), entry.key.find('\0')));
    return entry;
}

}  // namespace pellimor::chromium
