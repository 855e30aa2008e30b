#include "platform/urlcache/ContainerView.h"

#include <unordered_set>

#include "platform/urlcache/IndexDatFormat.h"

namespace pellimor::indexdat {

namespace {

std::string Printable(std::string_view bytes) {
    std::string text;
    for (char c : bytes) {
        if (c == '\0') {
            break;
        }
        text += (c >= 0x20 && c < 0x7F) ? c : '?';
    }
    return text;
}

}  // namespace

Result<ContainerView> ContainerView::Open(std::span<const std::uint8_t> bytes) {
    ByteReader reader(bytes);
    if (bytes.size() < kBlocksStart) {
        return Fail(bytes.empty() ? "the file is empty"
                                  : "the file is too short for a cache index (" +
                                        std::to_string(bytes.size()) + " bytes)");
    }
    Header header;
    const std::string_view signature = reader.Text(0, kSignatureSize);
    if (signature == kIeSignature) {
        header.flavour = Flavour::kInternetExplorer;
    } else if (signature == kWineSignature) {
        header.flavour = Flavour::kWine;
    } else {
        return Fail("not a URL cache index: the signature reads \"" + Printable(signature) + "\"");
    }
    header.fileSize = *reader.U32(kFileSizeAt);
    header.hashTableOffset = *reader.U32(kHashTableAt);
    header.capacityBlocks = *reader.U32(kCapacityAt);
    header.blocksInUse = *reader.U32(kBlocksInUseAt);
    header.cacheLimit = *reader.U64(kCacheLimitAt);
    header.cacheUsage = *reader.U64(kCacheUsageAt);
    header.exemptUsage = *reader.U64(kExemptUsageAt);
    const std::uint32_t folders = *reader.U32(kFolderCountAt);
    if (folders > kMaxFolders) {
        return Fail("the index names " + std::to_string(folders) + " cache folders (at most 32)");
    }
    for (std::uint32_t i = 0; i < folders; ++i) {
        const std::size_t at = kFoldersAt + i * kFolderRecordSize;
        Subfolder folder;
        folder.fileCount = *reader.U32(at);
        std::string_view name = reader.Text(at + 4, kFolderNameSize);
        name = name.substr(0, name.find('\0'));
        folder.name = std::string(name);
        header.subfolders.push_back(std::move(folder));
    }
    const std::size_t usable = std::min<std::size_t>(bytes.size(), header.fileSize);
    return ContainerView(bytes, std::move(header), usable);
}

bool ContainerView::IsBlockUsed(std::uint32_t block) const {
    const auto byte = reader_.U8(kBitmapAt + block / 8);
    return byte && (*byte >> (block % 8)) & 1;
}

Status ContainerView::ForEachHashItem(const std::function<bool(const HashItem&)>& visit) const {
    std::unordered_set<std::uint32_t> seen;
    std::uint32_t offset = header_.hashTableOffset;
    std::uint32_t expectedId = 0;
    while (offset != 0) {
        if (!seen.insert(offset).second) {
            return Fail("the hash tables form a loop at offset " + std::to_string(offset));
        }
        if (offset < kBlocksStart || (offset - kBlocksStart) % kBlockSize != 0 ||
            !reader_.Has(offset, kHashItemsAt + kHashItems * kHashItemSize) ||
            offset + kHashItemsAt + kHashItems * kHashItemSize > usable_) {
            return Fail("a hash table offset lies outside the file: " + std::to_string(offset));
        }
        if (*reader_.U32(offset) != kHashSignature) {
            return Fail("no hash table at offset " + std::to_string(offset));
        }
        if (*reader_.U32(offset + kHashTableNumberAt) != expectedId) {
            return Fail("hash table " + std::to_string(expectedId) + " is numbered " +
                        std::to_string(*reader_.U32(offset + kHashTableNumberAt)));
        }
        for (std::uint32_t i = 0; i < kHashItems; ++i) {
            const std::size_t at = offset + kHashItemsAt + i * kHashItemSize;
            const HashItem item{offset, i, *reader_.U32(at), *reader_.U32(at + 4)};
            if (!visit(item)) {
                return Done{};
            }
        }
        ++expectedId;
        offset = *reader_.U32(offset + kHashNextTableAt);
    }
    return Done{};
}

std::optional<RawUrlRecord> ContainerView::ReadUrlRecord(std::uint32_t offset) const {
    if (offset < kBlocksStart || (offset - kBlocksStart) % kBlockSize != 0 ||
        !reader_.Has(offset, url::kFixedSize)) {
        return std::nullopt;
    }
    RawUrlRecord record;
    record.offset = offset;
    record.signature = *reader_.U32(offset);
    record.blocks = *reader_.U32(offset + 4);
    if (record.signature != kUrlSignature && record.signature != kLeakSignature) {
        return std::nullopt;
    }
    const std::uint64_t length = static_cast<std::uint64_t>(record.blocks) * kBlockSize;
    if (record.blocks == 0 || length < url::kFixedSize || offset + length > usable_) {
        return std::nullopt;
    }
    const ByteReader body(reader_.bytes().subspan(offset, length));
    record.lastModified = *body.U64(url::kLastModified);
    record.lastAccess = *body.U64(url::kLastAccess);
    record.expiryDos = *body.U32(url::kExpiry);
    record.fileSize = *body.U64(url::kFileSize);
    record.exemptDelta = *body.U32(url::kExemptDelta);
    record.subfolder = *body.U8(url::kSubfolder);
    record.entryType = *body.U32(url::kEntryType);
    record.lastSyncDos = *body.U32(url::kLastSync);
    record.hitCount = *body.U32(url::kHitCount);
    record.useCount = *body.U32(url::kUseCount);
    record.writeTimeDos = *body.U32(url::kWriteTime);
    // A text offset of zero means none; one that points into the fixed part or past the
    // record makes the text unreadable, and so does a missing terminator.
    const auto text = [&body, length](std::size_t field) -> std::optional<std::string_view> {
        const std::uint32_t at = *body.U32(field);
        if (at < url::kFixedSize || at >= length) {
            return std::nullopt;
        }
        return body.CString(at, length - at);
    };
    record.url = text(url::kUrlOffset);
    record.fileName = text(url::kFileNameOffset);
    const std::uint32_t headersAt = *body.U32(url::kHeadersOffset);
    const std::uint32_t headersSize = *body.U32(url::kHeadersSize);
    if (headersAt >= url::kFixedSize && body.Has(headersAt, headersSize)) {
        record.headers = body.Text(headersAt, headersSize);
    }
    return record;
}

Status ContainerView::ForEachLiveUrl(
    const std::function<bool(const RawUrlRecord&, const HashItem&)>& visit) const {
    return ForEachHashItem([&](const HashItem& item) {
        if (item.key == kHashFree || item.key == kHashDeleted) {
            return true;
        }
        const auto record = ReadUrlRecord(item.recordOffset);
        if (!record || record->signature != kUrlSignature) {
            return true;  // a redirect, a leaked record or damage: not an entry
        }
        return visit(*record, item);
    });
}

}  // namespace pellimor::indexdat
