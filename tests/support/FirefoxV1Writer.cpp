#include "FirefoxV1Writer.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "FirefoxCache2Writer.h"
#include "TempFolder.h"

namespace pellimor::test {

namespace {

constexpr std::uint32_t kUsed = 0x80000000;
constexpr std::size_t kBuckets = 32;

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
    // The location of size bytes in the block file that fits them (its blocks taken), or in
    // a separate file.
    const auto place = [&](std::size_t size, bool separate) {
        const std::uint32_t index = separate ? 0 : V1BlockFileFor(size);
        if (index == 0) {
            return kUsed | (static_cast<std::uint32_t>((size + 1023) / 1024) << 8) | 1u;
        }
        BlockFile& file = blocks[index - 1];
        const std::uint32_t count = std::max<std::uint32_t>(
            1, static_cast<std::uint32_t>((size + BlockSize(index) - 1) / BlockSize(index)));
        const std::uint32_t start = file.nextBlock;
        file.nextBlock += count;
        file.bytes.resize(BitmapSize(index, spec.firefox3) + file.nextBlock * BlockSize(index));
        return kUsed | (index << 28) | ((count - 1) << 24) | start;
    };
    const auto store = [&](std::uint32_t location, std::uint32_t hash, bool meta,
                           const std::string& bytes) {
        const std::uint32_t index = (location >> 28) & 3;
        if (index == 0) {
            const std::string dir =
                folder + "/" + Hex(hash >> 28, 1) + "/" + Hex((hash >> 20) & 0xFF, 2);
            MakeFolders(dir);
            WriteFile(dir + "/" + Hex(hash & 0xFFFFF, 5) + (meta ? "m" : "d") + "01", bytes);
        } else {
            blocks[index - 1].bytes.replace(
                BitmapSize(index, spec.firefox3) + (location & 0xFFFFFF) * BlockSize(index),
                bytes.size(), bytes);
        }
    };

    std::string records;
    for (const V1EntrySpec& entry : spec.entries) {
        std::uint32_t dataLocation = 0;
        if (entry.bodyPlace != V1BodyPlace::kNone) {
            dataLocation = place(entry.body.size(), entry.bodyPlace == V1BodyPlace::kSeparateFile);
            store(dataLocation, entry.hash, false, entry.body);
        }
        std::string metadata;
        metadata += std::string("request-method") + '\0' + "GET" + '\0';
        metadata += std::string("response-head") + '\0' + entry.responseHead + '\0';
        const std::size_t recordSize = 36 + entry.key.size() + 1 + metadata.size();
        // The record names its own location.
        const std::uint32_t metaLocation = place(recordSize, V1BlockFileFor(recordSize) == 0);
        std::string record;
        AppendBig32(record, {spec.firefox3 ? 0x0001000Bu : 0x00010013u, metaLocation,
                             entry.fetchCount, entry.lastFetched, entry.lastModified,
                             entry.expiration, static_cast<std::uint32_t>(entry.body.size()),
                             static_cast<std::uint32_t>(entry.key.size() + 1),
                             static_cast<std::uint32_t>(metadata.size())});
        record += entry.key;
        record.push_back('\0');
        record += metadata;
        store(metaLocation, entry.hash, true, record);
        AppendBig32(records, {entry.hash, 1, dataLocation, metaLocation});
    }
    const std::size_t recordCount =
        ((spec.entries.size() + kBuckets - 1) / kBuckets + 1) * kBuckets;
    records.resize(recordCount * 16, '\0');
    std::string map;
    AppendBig32(map, {spec.firefox3 ? 0x0001000Bu : 0x00010013u, 0,
                      static_cast<std::uint32_t>(spec.entries.size()), 0,
                      static_cast<std::uint32_t>(recordCount)});
    map.append(2 * kBuckets * 4, '\0');
    WriteFile(folder + "/_CACHE_MAP_", map + records);
    for (std::uint32_t index = 1; index <= 3; ++index) {
        WriteFile(folder + "/_CACHE_00" + std::to_string(index) + "_", blocks[index - 1].bytes);
    }
}

}  // namespace pellimor::test
