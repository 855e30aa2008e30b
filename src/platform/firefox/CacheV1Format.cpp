#include "platform/firefox/CacheV1Format.h"

#include "ground/ByteReader.h"

namespace pellimor::firefox::v1 {

namespace {

// Block sizes and Firefox 4's bitmaps shrink and grow by four per file.
constexpr int SizeShift(std::uint32_t index) {
    return 2 * static_cast<int>(index - 1);
}
constexpr std::uint32_t kLaterBitmapBits = 131072;
constexpr std::uint32_t kBitsPerByte = 8;
constexpr std::uint32_t kMaxMinorVersion = 0xFF;

}  // namespace

std::string BlockFileName(std::uint32_t index) {
    return "_CACHE_00" + std::to_string(index) + "_";
}

std::uint32_t BlockSize(std::uint32_t index) {
    return index >= 1 && index <= kBlockFileCount ? kSmallestBlock << SizeShift(index) : 0;
}

std::uint32_t BitmapSize(std::uint32_t index, bool firefox3) {
    if (index < 1 || index > kBlockFileCount) {
        return 0;
    }
    return firefox3 ? kFirefox3BitmapSize : (kLaterBitmapBits >> SizeShift(index)) / kBitsPerByte;
}

Location DecodeLocation(std::uint32_t value) {
    Location location;
    location.used = (value & kLocationUsed) != 0;
    location.file = (value & kFileSelectorMask) >> kFileSelectorShift;
    if (location.file == kSeparateFile) {
        location.sizeKiB = (value & kFileSizeMask) >> kFileSizeShift;
        location.generation = value & kGenerationMask;
    } else {
        location.startBlock = value & kStartBlockMask;
        location.blockCount = ((value & kExtraBlocksMask) >> kExtraBlocksShift) + 1;
    }
    return location;
}

std::string SeparateFileName(std::uint32_t hash, bool metadata, std::uint32_t generation) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const auto hex = [](std::uint32_t value, int digits) {
        std::string text(static_cast<std::size_t>(digits), '0');
        for (int i = digits - 1; i >= 0; --i) {
            text[static_cast<std::size_t>(i)] = kDigits[value & 0xF];
            value >>= 4;
        }
        return text;
    };
    return hex(hash >> 28, 1) + "/" + hex((hash >> 20) & 0xFF, 2) + "/" + hex(hash & 0xFFFFF, 5) +
           (metadata ? "m" : "d") + hex(generation & kGenerationMask, 2);
}

Result<Map> ParseMap(std::span<const std::uint8_t> bytes) {
    const BigEndianReader reader(bytes);
    if (bytes.size() < kMapHeaderSize) {
        return Fail("the map is too short for its header (" + std::to_string(bytes.size()) +
                    " bytes)");
    }
    if (bytes.size() > kMaxMapSize) {
        return Fail("the map is too large (" + std::to_string(bytes.size()) + " bytes)");
    }
    Map map;
    map.version = reader.U32(0).value_or(0);
    if ((map.version & kMajorVersionMask) != kMajorVersion) {
        return Fail("the map has an unknown version " + std::to_string(map.version));
    }
    map.entryCount = reader.U32(8).value_or(0);
    map.recordCount = reader.U32(16).value_or(0);
    const std::size_t room = (bytes.size() - kMapHeaderSize) / kMapRecordSize;
    if (map.recordCount > room) {
        return Fail("the map counts " + std::to_string(map.recordCount) + " records but holds " +
                    std::to_string(room));
    }
    for (std::uint32_t i = 0; i < map.recordCount; ++i) {
        const std::size_t at = kMapHeaderSize + std::size_t{i} * kMapRecordSize;
        MapRecord record;
        record.index = i;
        record.hash = reader.U32(at).value_or(0);
        record.evictionRank = reader.U32(at + 4).value_or(0);
        record.dataLocation = reader.U32(at + 8).value_or(0);
        record.metaLocation = reader.U32(at + 12).value_or(0);
        const bool reserved =
            (record.dataLocation & kLocationReserved) || (record.metaLocation & kLocationReserved);
        if (record.hash != 0 && !reserved && (record.metaLocation & kLocationUsed)) {
            map.records.push_back(record);
        }
    }
    return map;
}

Result<Record> ParseRecord(std::span<const std::uint8_t> bytes) {
    const BigEndianReader reader(bytes);
    if (bytes.size() < kRecordHeaderSize) {
        return Fail("the record is cut short");
    }
    const auto field = [&](std::size_t index) { return reader.U32(index * 4).value_or(0); };
    Record record;
    record.version = field(0);
    if ((record.version & kMajorVersionMask) != kMajorVersion ||
        (record.version & ~kMajorVersionMask) > kMaxMinorVersion) {
        return Fail("the record has an unknown version " + std::to_string(record.version));
    }
    record.metaLocation = field(1);
    record.fetchCount = field(2);
    record.lastFetched = field(3);
    record.lastModified = field(4);
    record.expiration = field(5);
    record.dataSize = field(6);
    const std::uint32_t keySize = field(7);
    const std::uint32_t metadataSize = field(8);
    const std::uint64_t total = kRecordHeaderSize + std::uint64_t{keySize} + metadataSize;
    if (total > bytes.size()) {
        return Fail("the record's key and metadata (" + std::to_string(keySize) + " and " +
                    std::to_string(metadataSize) + " bytes) pass its end");
    }
    // The key counts its NUL; a key of nothing but the NUL names nothing.
    if (keySize < 2 || bytes[kRecordHeaderSize + keySize - 1] != 0) {
        return Fail("the record's key is empty or not terminated");
    }
    record.key = std::string(reader.Text(kRecordHeaderSize, keySize - 1));
    if (record.key.find('\0') != std::string::npos) {
        return Fail("the record's key holds a NUL");
    }
    record.metadata = std::string(reader.Text(kRecordHeaderSize + keySize, metadataSize));
    if (!record.metadata.empty() && record.metadata.back() != '\0') {
        return Fail("the record's metadata is not terminated");
    }
    record.totalSize = static_cast<std::size_t>(total);
    return record;
}

std::optional<std::string_view> UrlOfKey(std::string_view key) {
    const std::size_t colon = key.find(':');
    if (colon == std::string_view::npos || colon + 1 == key.size()) {
        return std::nullopt;
    }
    std::string_view url = key.substr(colon + 1);
    // Responses to POST requests: "id=<post id>&uri=<address>".
    if (url.starts_with(kPostIdPrefix)) {
        const std::size_t uri = url.find(kPostUriPrefix);
        if (uri == std::string_view::npos || uri + kPostUriPrefix.size() == url.size()) {
            return std::nullopt;
        }
        url.remove_prefix(uri + kPostUriPrefix.size());
    }
    return url;
}

bool IsHttpKey(std::string_view key) {
    return key.starts_with("HTTP");
}

void ScanBlockFile(std::span<const std::uint8_t> bytes, std::uint32_t index,
                   const std::function<bool(const FoundRecord&)>& visit) {
    const std::size_t limit = std::size_t{kMaxBlocksPerRecord} * BlockSize(index);
    if (limit == 0) {
        return;
    }
    // Every bitmap and block size is a multiple of the smallest block, so every block start
    // of either layout is one of these offsets. A record is taken only with a version of
    // 0x0001xxxx and a terminated key and metadata inside four blocks, which the bitmap's
    // used-block bits do not make by chance.
    std::size_t offset = kSmallestBlock;
    while (offset < bytes.size()) {
        const auto window = bytes.subspan(offset, std::min(limit, bytes.size() - offset));
        auto record = ParseRecord(window);
        if (!record) {
            offset += kSmallestBlock;
            continue;
        }
        const std::size_t used = record->totalSize;
        if (!visit(FoundRecord{offset, std::move(record.value())})) {
            return;
        }
        offset += (used + kSmallestBlock - 1) / kSmallestBlock * kSmallestBlock;
    }
}

}  // namespace pellimor::firefox::v1
