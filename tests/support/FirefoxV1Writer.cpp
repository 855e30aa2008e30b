#include "FirefoxV1Writer.h"

#include <array>
#include <cstdio>
#include <initializer_list>

#include "TempFolder.h"

namespace pellimor::test {

namespace {

constexpr std::uint32_t kUsed = 0x80000000;
constexpr std::size_t kBuckets = 32;

void PutBig32(std::string& out, std::initializer_list<std::uint32_t> values) {
    for (const std::uint32_t value : values) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            out.push_back(static_cast<char>((value >> shift) & 0xFF));
        }
    }
}

std::uint32_t BlockSize(std::uint32_t index) {
    return 256u << (2 * (index - 1));
}

std::uint32_t BitmapSize(std::uint32_t index, bool firefox3) {
    return firefox3 ? 4096u : (131072u >> (2 * (index - 1))) / 8;
}

std::string Hex(std::uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, static_cast<unsigned>(value));
    return text;
}

struct BlockFile {
    std::string bytes;
    std::uint32_t nextBlock = 0;
};

}  // namespace

std::uint32_t V1BlockFileFor(std::size_t size) {
    if (size <= 3 * BlockSize(1)) {
        return 1;
    }
    if (size <= 3 * BlockSize(2)) {
        return 2;
    }
    if (size <= 4 * BlockSize(3)) {
        return 3;
    }
    return 0;
}

void WriteV1Cache(const std::string& folder, const V1CacheSpec& spec) {
    std::array<BlockFile, 3> blocks;
    for (std::uint32_t index = 1; index <= 3; ++index) {
        blocks[index - 1].bytes.assign(BitmapSize(index, spec.firefox3), '\0');
    }
    // Stores bytes in the block file that fits them, or in a separate file; the location.
    const auto store = [&](const std::string& bytes, std::uint32_t hash, bool meta, bool separate) {
        const std::uint32_t index = separate ? 0 : V1BlockFileFor(bytes.size());
        if (index == 0) {
            const std::string dir =
                folder + "/" + Hex(hash >> 28, 1) + "/" + Hex((hash >> 20) & 0xFF, 2);
            MakeFolders(dir);
            WriteFile(dir + "/" + Hex(hash & 0xFFFFF, 5) + (meta ? "m" : "d") + "01", bytes);
            const std::uint32_t sizeK = static_cast<std::uint32_t>((bytes.size() + 1023) / 1024);
            return kUsed | (sizeK << 8) | 1u;
        }
        BlockFile& file = blocks[index - 1];
        const std::uint32_t size = BlockSize(index);
        const std::uint32_t count = static_cast<std::uint32_t>((bytes.size() + size - 1) / size);
        const std::uint32_t start = file.nextBlock;
        file.nextBlock += count == 0 ? 1 : count;
        const std::size_t at = BitmapSize(index, spec.firefox3) + std::size_t{start} * size;
        file.bytes.resize(at + std::size_t{file.nextBlock - start} * size, '\0');
        file.bytes.replace(at, bytes.size(), bytes);
        return kUsed | (index << 28) | (((count == 0 ? 1 : count) - 1) << 24) | start;
    };

    std::string records;
    for (const V1EntrySpec& entry : spec.entries) {
        std::uint32_t dataLocation = 0;
        if (entry.bodyPlace != V1BodyPlace::kNone) {
            dataLocation =
                store(entry.body, entry.hash, false, entry.bodyPlace == V1BodyPlace::kSeparateFile);
        }
        std::string metadata;
        metadata += std::string("request-method") + '\0' + "GET" + '\0';
        metadata += std::string("response-head") + '\0' + entry.responseHead + '\0';
        const std::uint32_t recordSize =
            static_cast<std::uint32_t>(36 + entry.key.size() + 1 + metadata.size());
        // The record names its own location, which is known only once it is placed: place
        // a stand-in of the same size first.
        const std::uint32_t metaLocation =
            store(std::string(recordSize, '\0'), entry.hash, true, V1BlockFileFor(recordSize) == 0);
        std::string record;
        PutBig32(record, {spec.firefox3 ? 0x0001000Bu : 0x00010013u, metaLocation, entry.fetchCount,
                          entry.lastFetched, entry.lastModified, entry.expiration,
                          static_cast<std::uint32_t>(entry.body.size()),
                          static_cast<std::uint32_t>(entry.key.size() + 1),
                          static_cast<std::uint32_t>(metadata.size())});
        record += entry.key;
        record.push_back('\0');
        record += metadata;
        const std::uint32_t index = (metaLocation >> 28) & 3;
        if (index == 0) {
            const std::uint32_t hash = entry.hash;
            WriteFile(folder + "/" + Hex(hash >> 28, 1) + "/" + Hex((hash >> 20) & 0xFF, 2) + "/" +
                          Hex(hash & 0xFFFFF, 5) + "m01",
                      record);
        } else {
            const std::size_t at = BitmapSize(index, spec.firefox3) +
                                   std::size_t{metaLocation & 0xFFFFFF} * BlockSize(index);
            blocks[index - 1].bytes.replace(at, record.size(), record);
        }
        PutBig32(records, {entry.hash, 1, dataLocation, metaLocation});
    }
    const std::size_t recordCount =
        ((spec.entries.size() + kBuckets - 1) / kBuckets + 1) * kBuckets;
    records.resize(recordCount * 16, '\0');
    std::string map;
    PutBig32(map, {spec.firefox3 ? 0x0001000Bu : 0x00010013u, 0,
                   static_cast<std::uint32_t>(spec.entries.size()), 0,
                   static_cast<std::uint32_t>(recordCount)});
    map.append(2 * kBuckets * 4, '\0');
    WriteFile(folder + "/_CACHE_MAP_", map + records);
    for (std::uint32_t index = 1; index <= 3; ++index) {
        WriteFile(folder + "/_CACHE_00" + std::to_string(index) + "_", blocks[index - 1].bytes);
    }
}

}  // namespace pellimor::test
