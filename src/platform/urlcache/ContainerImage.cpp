#include "platform/urlcache/ContainerImage.h"

#include <algorithm>
#include <set>

#include "ground/ByteReader.h"
#include "platform/urlcache/IndexDatFormat.h"
#include "platform/urlcache/UrlHash.h"

namespace pellimor::indexdat {

namespace {

constexpr std::uint32_t Align4(std::uint32_t n) {
    return (n + 3) & ~3u;
}

}  // namespace

ContainerImage ContainerImage::CreateEmpty(Flavour flavour, const std::vector<std::string>& folders,
                                           std::uint64_t cacheLimit) {
    std::vector<std::uint8_t> bytes(kBlocksStart + kInitialBlocks * kBlockSize, 0);
    const std::string_view signature = flavour == Flavour::kWine ? kWineSignature : kIeSignature;
    std::copy(signature.begin(), signature.end(), bytes.begin());
    ContainerImage image(std::move(bytes));
    image.SetU32(kFileSizeAt, static_cast<std::uint32_t>(image.bytes_.size()));
    image.SetU32(kCapacityAt, kInitialBlocks);
    image.SetU64(kCacheLimitAt, cacheLimit);
    const auto count =
        static_cast<std::uint32_t>(std::min<std::size_t>(folders.size(), kMaxFolders));
    image.SetU32(kFolderCountAt, count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::string& name = folders[i];
        std::copy_n(name.begin(), std::min(name.size(), kFolderNameSize),
                    image.bytes_.begin() + kFoldersAt + i * kFolderRecordSize + 4);
    }
    image.AddHashTable(0);
    image.misfiled_.emplace();  // nothing filed yet
    return image;
}

Result<ContainerImage> ContainerImage::FromBytes(std::vector<std::uint8_t> bytes) {
    PELLIMOR_TRY(ContainerView::Open(bytes));
    return ContainerImage(std::move(bytes));
}

ContainerView ContainerImage::View() const {
    return ContainerView::Open(bytes_).value();  // the image always holds a valid header
}

std::uint32_t ContainerImage::U32(std::size_t at) const {
    return *ByteReader(bytes_).U32(at);
}
void ContainerImage::SetU32(std::size_t at, std::uint32_t value) {
    PutU32(&bytes_[at], value);
}
std::uint64_t ContainerImage::U64(std::size_t at) const {
    return *ByteReader(bytes_).U64(at);
}
void ContainerImage::SetU64(std::size_t at, std::uint64_t value) {
    PutU64(&bytes_[at], value);
}

void ContainerImage::SetBlock(std::uint32_t block, bool used) {
    std::uint8_t& byte = bytes_[kBitmapAt + block / 8];
    const auto bit = static_cast<std::uint8_t>(1u << (block % 8));
    byte = used ? static_cast<std::uint8_t>(byte | bit) : static_cast<std::uint8_t>(byte & ~bit);
}

bool ContainerImage::Grow() {
    const std::uint32_t capacity = U32(kCapacityAt);
    if (capacity >= kMaxBlocks) {
        return false;
    }
    const std::uint32_t grown = std::min(capacity * 2, kMaxBlocks);
    bytes_.resize(kBlocksStart + static_cast<std::size_t>(grown) * kBlockSize, 0);
    SetU32(kCapacityAt, grown);
    SetU32(kFileSizeAt, static_cast<std::uint32_t>(bytes_.size()));
    return true;
}

// First fit, as the platform allocates.
std::optional<std::uint32_t> ContainerImage::AllocateBlocks(std::uint32_t count) {
    static_assert(kBitmapStart == kBitmapAt);
    for (;;) {
        const std::uint32_t capacity = U32(kCapacityAt);
        while (searchFrom_ < capacity && BlockUsed(searchFrom_)) {
            ++searchFrom_;
        }
        std::uint32_t run = 0;
        for (std::uint32_t block = searchFrom_; block < capacity; ++block) {
            run = BlockUsed(block) ? 0 : run + 1;
            if (run == count) {
                const std::uint32_t first = block + 1 - count;
                for (std::uint32_t b = first; b <= block; ++b) {
                    SetBlock(b, true);
                }
                SetU32(kBlocksInUseAt, U32(kBlocksInUseAt) + count);
                const auto offset = static_cast<std::uint32_t>(kBlocksStart + first * kBlockSize);
                std::fill_n(bytes_.begin() + offset, count * kBlockSize, 0);
                SetU32(offset + 4, count);
                return offset;
            }
        }
        if (!Grow()) {
            return std::nullopt;
        }
    }
}

std::optional<std::uint32_t> ContainerImage::AddHashTable(std::uint32_t previous) {
    const auto offset = AllocateBlocks(kHashTableBlocks);
    if (!offset) {
        return std::nullopt;
    }
    SetU32(*offset, kHashSignature);
    SetU32(*offset + kHashNextTableAt, 0);
    SetU32(*offset + kHashTableNumberAt,
           previous == 0 ? 0 : U32(previous + kHashTableNumberAt) + 1);
    for (std::uint32_t i = 0; i < kHashItems; ++i) {
        SetU32(*offset + kHashItemsAt + i * kHashItemSize, kHashFree);
        SetU32(*offset + kHashItemsAt + i * kHashItemSize + 4, kHashFree);
    }
    SetU32(previous == 0 ? kHashTableAt : previous + kHashNextTableAt, *offset);
    return offset;
}

std::optional<std::vector<std::uint32_t>> ContainerImage::HashTables() const {
    // The checks of the view's walk, so that this sees the items the view lists; the
    // numbering rules out loops.
    const std::size_t usable = std::min<std::size_t>(bytes_.size(), U32(kFileSizeAt));
    std::vector<std::uint32_t> tables;
    for (std::uint32_t table = U32(kHashTableAt); table != 0;
         table = U32(table + kHashNextTableAt)) {
        if (table < kBlocksStart || (table - kBlocksStart) % kBlockSize != 0 ||
            static_cast<std::size_t>(table) + kHashItemsAt + kHashItems * kHashItemSize > usable ||
            U32(table) != kHashSignature || U32(table + kHashTableNumberAt) != tables.size()) {
            return std::nullopt;
        }
        tables.push_back(table);
    }
    return tables;
}

bool ContainerImage::AddHashItem(std::uint32_t hash, std::uint32_t recordOffset,
                                 const std::vector<std::uint32_t>& tables,
                                 std::optional<HashItem> open) {
    if (!open) {
        const auto added = AddHashTable(tables.empty() ? 0 : tables.back());
        if (!added) {
            return false;
        }
        open = HashItem{*added, HashBucket(hash) * kItemsPerBucket, kHashFree, kHashFree};
    }
    const std::size_t at = open->tableOffset + kHashItemsAt + open->index * kHashItemSize;
    SetU32(at, HashItemKey(hash, kHashKindUrl));
    SetU32(at + 4, recordOffset);
    return true;
}

const std::vector<HashItem>& ContainerImage::Misfiled() {
    if (!misfiled_) {
        misfiled_.emplace();
        // A broken chain leaves the items before the break; an add finds the break itself.
        (void)View().ForEachLiveUrl([this](const RawUrlRecord& record, const HashItem& item) {
            const std::uint32_t hash = UrlKeyHash(record.url.value_or(""));
            if (!record.url || item.index / kItemsPerBucket != HashBucket(hash) ||
                !HashKeyMatches(item.key, hash)) {
                misfiled_->push_back(item);
            }
            return true;
        });
    }
    return *misfiled_;
}

std::vector<HashItem> ContainerImage::FindUrl(std::string_view url) {
    const auto tables = HashTables();
    return FindUrlIn(url, tables.value_or(std::vector<std::uint32_t>{}));
}

std::vector<HashItem> ContainerImage::FindUrlIn(std::string_view url,
                                                const std::vector<std::uint32_t>& tables,
                                                std::optional<HashItem>* open) {
    url = url.substr(0, url.find('\0'));  // what a record keeps of it
    const std::uint32_t hash = UrlKeyHash(url);
    const ContainerView view = View();
    std::vector<HashItem> found;
    std::set<std::pair<std::uint32_t, std::uint32_t>> seen;
    // Whether the item holds a live record of the address; found once.
    const auto consider = [&](const HashItem& item) {
        if (item.key == kHashFree || item.key == kHashDeleted ||
            !seen.insert({item.tableOffset, item.index}).second) {
            return false;
        }
        const auto record = view.ReadUrlRecord(item.recordOffset);
        if (record && record->signature == kUrlSignature && record->url == url) {
            found.push_back(item);
            return true;
        }
        return false;
    };
    const std::uint32_t bucket = HashBucket(hash) * kItemsPerBucket;
    for (const std::uint32_t table : tables) {
        for (std::uint32_t i = bucket; i < bucket + kItemsPerBucket; ++i) {
            const std::size_t at = table + kHashItemsAt + i * kHashItemSize;
            const std::uint32_t key = U32(at);
            const bool replaced =
                HashKeyMatches(key, hash) && consider(HashItem{table, i, key, U32(at + 4)});
            if (open != nullptr && !*open &&
                (replaced || key == kHashFree || key == kHashDeleted)) {
                *open = HashItem{table, i, key, U32(at + 4)};
            }
        }
    }
    for (const HashItem& misfiled : Misfiled()) {
        const std::size_t at = misfiled.tableOffset + kHashItemsAt + misfiled.index * kHashItemSize;
        consider(HashItem{misfiled.tableOffset, misfiled.index, U32(at), U32(at + 4)});
    }
    return found;
}

void ContainerImage::FreeBlocks(std::uint32_t offset, std::uint32_t blocks) {
    const std::uint32_t first = (offset - static_cast<std::uint32_t>(kBlocksStart)) / kBlockSize;
    std::uint32_t freed = 0;
    for (std::uint32_t b = first; b < first + blocks && b < U32(kCapacityAt); ++b) {
        if (BlockUsed(b)) {
            SetBlock(b, false);
            ++freed;
        }
    }
    searchFrom_ = std::min(searchFrom_, first);
    SetU32(kBlocksInUseAt, U32(kBlocksInUseAt) - std::min(freed, U32(kBlocksInUseAt)));
}

// The file is gone (or was never there): the counts forget it.
void ContainerImage::ForgetFile(const RawUrlRecord& record) {
    if (record.subfolder < U32(kFolderCountAt)) {
        const std::size_t countAt = kFoldersAt + record.subfolder * kFolderRecordSize;
        if (U32(countAt) > 0) {
            SetU32(countAt, U32(countAt) - 1);
        }
    }
    const std::size_t usageAt =
        (record.entryType & kStickyEntry) != 0 ? kExemptUsageAt : kCacheUsageAt;
    SetU64(usageAt, U64(usageAt) > record.fileSize ? U64(usageAt) - record.fileSize : 0);
}

namespace {

// Where a new URL record's parts go, from its start, and its whole length.
struct UrlLayout {
    std::uint32_t nameAt;
    std::uint32_t headersAt;
    std::uint32_t extensionAt;
    std::uint32_t length;
};

UrlLayout LayOut(const NewRecord& record) {
    const auto urlLength = static_cast<std::uint32_t>(record.url.size());
    const std::uint32_t nameAt = Align4(url::kFixedSize + urlLength + 1);
    std::uint32_t length = nameAt;
    if (record.fileName) {
        length = Align4(length + static_cast<std::uint32_t>(record.fileName->size()) + 1);
    }
    const std::uint32_t headersAt = length;
    if (!record.headers.empty()) {
        length = Align4(length + static_cast<std::uint32_t>(record.headers.size()));
    }
    const std::uint32_t extensionAt = length;
    if (!record.extension.empty()) {
        length = Align4(length + static_cast<std::uint32_t>(record.extension.size()) + 1);
    }
    return {nameAt, headersAt, extensionAt, length};
}

}  // namespace

std::optional<std::uint32_t> ContainerImage::AddUrl(const NewRecord& record) {
    const auto tables = HashTables();
    if (!tables) {
        return std::nullopt;  // no place to file it that every reader would agree on
    }
    std::uint32_t hitCount = record.hitCount;
    std::uint32_t exemptDelta = (record.entryType & kStickyEntry) != 0 ? kStickyExemptSeconds : 0;
    std::optional<HashItem> open;
    const std::vector<HashItem> replaced = FindUrlIn(record.url, *tables, &open);
    std::set<std::uint32_t> freed;
    for (const HashItem& item : replaced) {
        const RawUrlRecord old = *View().ReadUrlRecord(item.recordOffset);
        if (&item == &replaced.front()) {
            hitCount += old.hitCount;
            exemptDelta = old.exemptDelta != 0 ? old.exemptDelta : exemptDelta;
        }
        ForgetFile(old);
        if (freed.insert(item.recordOffset).second) {
            FreeBlocks(item.recordOffset, old.blocks);
        }
        SetU32(item.tableOffset + kHashItemsAt + item.index * kHashItemSize, kHashDeleted);
    }
    const auto [nameAt, headersAt, extensionAt, length] = LayOut(record);
    const std::uint32_t blocks = (length + kBlockSize - 1) / kBlockSize;
    const auto offset = AllocateBlocks(blocks);
    if (!offset) {
        return std::nullopt;
    }
    const std::uint32_t at = *offset;
    SetU32(at, kUrlSignature);
    SetU64(at + url::kLastModified, record.lastModified);
    SetU64(at + url::kLastAccess, record.lastAccess);
    SetU32(at + url::kExpiry, record.expiryDos);
    SetU64(at + url::kFileSize, record.fileSize);
    const bool sticky = (record.entryType & kStickyEntry) != 0;
    SetU32(at + url::kExemptDelta, exemptDelta);
    SetU32(at + url::kUnknown60, 0x60);
    SetU32(at + url::kUrlOffset, url::kFixedSize);
    bytes_[at + url::kSubfolder] = record.subfolder;
    PutU16(&bytes_[at + url::kUnknown1010], 0x1010);
    SetU32(at + url::kEntryType, record.entryType);
    SetU32(at + url::kLastSync, record.lastSyncDos);
    SetU32(at + url::kHitCount, hitCount);
    SetU32(at + url::kWriteTime, record.writeTimeDos);
    std::copy(record.url.begin(), record.url.end(), bytes_.begin() + at + url::kFixedSize);
    if (record.fileName) {
        SetU32(at + url::kFileNameOffset, nameAt);
        std::copy(record.fileName->begin(), record.fileName->end(), bytes_.begin() + at + nameAt);
    }
    if (!record.headers.empty()) {
        SetU32(at + url::kHeadersOffset, headersAt);
        SetU32(at + url::kHeadersSize, static_cast<std::uint32_t>(record.headers.size()));
        std::copy(record.headers.begin(), record.headers.end(), bytes_.begin() + at + headersAt);
    }
    if (!record.extension.empty()) {
        SetU32(at + url::kExtensionOffset, extensionAt);
        std::copy(record.extension.begin(), record.extension.end(),
                  bytes_.begin() + at + extensionAt);
    }
    if (!AddHashItem(UrlKeyHash(record.url), at, *tables, open)) {
        FreeBlocks(at, blocks);
        return std::nullopt;
    }
    const std::uint32_t folders = U32(kFolderCountAt);
    if (record.subfolder < folders) {
        const std::size_t countAt = kFoldersAt + record.subfolder * kFolderRecordSize;
        SetU32(countAt, U32(countAt) + 1);
    }
    const std::size_t usageAt = sticky ? kExemptUsageAt : kCacheUsageAt;
    SetU64(usageAt, U64(usageAt) + record.fileSize);
    return at;
}

void ContainerImage::DeleteUrl(const HashItem& item, bool keepAsLeak) {
    const std::uint32_t at = item.recordOffset;
    const RawUrlRecord record = *View().ReadUrlRecord(at);
    if (!keepAsLeak) {
        ForgetFile(record);
        FreeBlocks(at, record.blocks);
    } else {
        SetU32(at, kLeakSignature);
        SetU32(at + url::kExemptDelta, U32(kLeakListHeadAt));
        SetU32(kLeakListHeadAt, at);
    }
    SetU32(item.tableOffset + kHashItemsAt + item.index * kHashItemSize, kHashDeleted);
}

void ContainerImage::MarkPendingDelete(std::uint32_t recordOffset) {
    SetU32(recordOffset + url::kEntryType, U32(recordOffset + url::kEntryType) | kPendingDelete);
}

}  // namespace pellimor::indexdat
