#include "platform/chromium/BlockFileCache.h"

#include <algorithm>
#include <unordered_set>

#include "platform/ByteReader.h"
#include "platform/body/ContentDecoding.h"
#include "platform/chromium/BlockFileEntry.h"
#include "platform/chromium/BlockFileFormat.h"
#include "platform/chromium/BlockFileStore.h"
#include "platform/chromium/ChromiumFolders.h"
#include "platform/chromium/ReadAt.h"
#include "platform/chromium/ResponseInfo.h"
#include "platform/fileops/ConfinedFile.h"

namespace pellimor {

namespace {

namespace fmt = chromium_blockfile;

constexpr std::size_t kBodyStartLength = 8;
// The index: a header and 64 Ki addresses in every cache Chromium made; room to spare.
constexpr std::uint64_t kMaxIndexSize = 64u << 20;
constexpr std::uint32_t kMaxResponseSize = 4u << 20;
constexpr std::uint64_t kMaxStoredBody = 1ULL << 30;

const char kReadOnly[] = "Chrome's block-file cache is read-only: Pellimor does not change it";

bool InUse(std::uint32_t addr) {
    return (addr & fmt::kAddrInitialized) != 0;
}

std::uint32_t FileType(std::uint32_t addr) {
    return (addr & fmt::kAddrFileTypeMask) >> fmt::kAddrFileTypeShift;
}

struct Opened {
    std::string root;
    chromium::BlockFileStore store;
};

Result<Opened> OpenCache(const std::string& folder) {
    const auto root = ResolveFolder(folder);
    if (!root) {
        return Fail(folder + " is no folder that can be read");
    }
    Result<chromium::CaseBlindNames> names = chromium::ListCaseBlind(*root);
    if (!names) {
        return Failure{names.error()};
    }
    return Opened{*root, chromium::BlockFileStore(*root, std::move(*names))};
}

// What the listing shows of one entry.
Result<CacheEntry> DescribeEntry(chromium::BlockFileStore& store, const std::string& folder,
                                 std::uint32_t addr, const chromium::BlockFileEntry& read) {
    CacheEntry entry;
    entry.url = chromium::UrlFromKey(read.key);
    entry.unreadable = read.keyUnreadable;
    if (!entry.url && read.keyUnreadable.empty()) {
        return Fail("the entry at " + std::to_string(addr) + " has a key without an address");
    }
    entry.id = EntryId{folder, chromium::BlockFileStore::FileName(addr).value(), addr};
    entry.sourceName = kChromeSource;
    entry.kind = EntryKind::kDocument;
    entry.lastModified = chromium::ChromeTimeToUnix(read.creationTime);

    const std::uint32_t headersAddr = read.dataAddr[fmt::kHeadersStream];
    if (InUse(headersAddr) && read.dataSize[fmt::kHeadersStream] <= kMaxResponseSize) {
        Result<chromium::StoredStream> stream =
            store.Stream(headersAddr, read.dataSize[fmt::kHeadersStream]);
        if (stream) {
            Result<chromium::ResponseInfo> response =
                chromium::ParseResponseInfo(chromium::AsBytes(stream->bytes));
            if (response) {
                entry.headers = std::move(response->headers);
                entry.contentType = std::move(response->contentType);
                entry.contentEncoding = std::move(response->contentEncoding);
                if (response->lastModified || response->responseTime) {
                    entry.lastModified =
                        response->lastModified ? response->lastModified : response->responseTime;
                }
                entry.expires = response->expires;
            }
        }
    }
    if (InUse(read.rankings)) {
        Result<chromium::StoredStream> node = store.Stream(read.rankings, 8);
        if (node && node->bytes.size() == 8) {
            entry.lastAccess = chromium::ChromeTimeToUnix(
                *ByteReader(chromium::AsBytes(node->bytes)).U64(fmt::kRankingsLastUsedOffset));
        }
    }

    const std::uint32_t bodyAddr = read.dataAddr[fmt::kBodyStream];
    const std::uint32_t bodySize = read.dataSize[fmt::kBodyStream];
    entry.size = bodySize;
    if (bodySize == 0) {
        return entry;
    }
    if (!entry.unreadable.empty()) {
        return entry;
    }
    if (!InUse(bodyAddr)) {
        entry.unreadable = "its body was never stored";
        return entry;
    }
    Result<std::string> bodyFile = chromium::BlockFileStore::FileName(bodyAddr);
    if (!bodyFile) {
        entry.unreadable = bodyFile.error();
        return entry;
    }
    const auto present = store.ExistingName(bodyAddr);
    if (!present) {
        entry.unreadable = "its body is in " + *bodyFile + ", which is missing";
        return entry;
    }
    Result<chromium::StoredStream> start =
        store.Stream(bodyAddr, std::min<std::uint64_t>(bodySize, kBodyStartLength));
    if (!start) {
        entry.unreadable = "its body cannot be read: " + start.error();
        return entry;
    }
    entry.bodyStart = std::move(start->bytes);
    // Without the response nothing says whether the file holds the body encoded.
    if (FileType(bodyAddr) == fmt::kExternal && !entry.headers.empty() &&
        entry.contentEncoding.empty()) {
        entry.localFileName = folder + "/" + *present;
    }
    return entry;
}

}  // namespace

ChromiumBlockFileCache::ChromiumBlockFileCache(std::string folder) : folder_(std::move(folder)) {}

Status ChromiumBlockFileCache::Enumerate(const std::function<bool(const CacheEntry&)>& visit) {
    Result<Opened> cache = OpenCache(folder_);
    if (!cache) {
        return Failure{cache.error()};
    }
    const auto index = cache->store.Find(fmt::kIndexName);
    if (!index) {
        return Fail(folder_ + " holds no index of Chrome's cache");
    }
    std::string error;
    const auto bytes = ReadWithin(cache->root + "/" + *index, cache->root, kMaxIndexSize, error);
    if (!bytes) {
        return Fail(error);
    }
    const ByteReader reader(chromium::AsBytes(*bytes));
    const auto magic = reader.U32(fmt::kIndexMagicOffset);
    const auto version = reader.U32(fmt::kIndexVersionOffset);
    const auto tableLength = reader.U32(fmt::kIndexTableLengthOffset);
    if (!magic || !version || !tableLength || reader.size() < fmt::kIndexHeaderSize) {
        return Fail(folder_ + ": the index is too short for Chrome's cache");
    }
    if (*magic != fmt::kIndexMagic) {
        return Fail(folder_ + ": the index is no index of Chrome's block-file cache");
    }
    if (*version != fmt::kVersion2_0 && *version != fmt::kVersion2_1 &&
        *version != fmt::kVersion3_0) {
        return Fail(folder_ + ": the index has an unknown version (" +
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
    for (std::uint64_t slot = 0; slot < slots; ++slot) {
        std::uint32_t addr = *reader.U32(fmt::kIndexHeaderSize +
                                         static_cast<std::size_t>(slot) * fmt::kCacheAddrSize);
        while (InUse(addr)) {
            if (!seen.insert(addr).second) {
                note("the chain of slot " + std::to_string(slot) + " loops");
                break;
            }
            Result<chromium::BlockFileEntry> read =
                chromium::ReadBlockFileEntry(cache->store, addr);
            if (!read) {
                note(read.error());
                break;
            }
            Result<CacheEntry> entry = DescribeEntry(cache->store, folder_, addr, *read);
            if (!entry) {
                note(entry.error());
            } else if (!visit(*entry)) {
                return Done{};
            }
            addr = read->next;
        }
    }
    if (!problem.empty()) {
        return Fail(folder_ + ": " + problem +
                    (unreadable > 1 ? " (and " + std::to_string(unreadable - 1) + " more)" : ""));
    }
    return Done{};
}

Result<CacheBody> ChromiumBlockFileCache::ReadBody(const EntryId& id, std::uint64_t limit) {
    if (id.source != folder_) {
        return Fail("the entry belongs to another cache (" + id.source + ")");
    }
    if (id.locator > 0xffffffffu) {
        return Fail("no entry of Chrome's cache lies at " + std::to_string(id.locator));
    }
    Result<Opened> cache = OpenCache(folder_);
    if (!cache) {
        return Failure{cache.error()};
    }
    const auto addr = static_cast<std::uint32_t>(id.locator);
    Result<chromium::BlockFileEntry> read = chromium::ReadBlockFileEntry(cache->store, addr);
    if (!read) {
        return Fail(folder_ + ": " + read.error());
    }
    Result<CacheEntry> entry = DescribeEntry(cache->store, folder_, addr, *read);
    if (!entry) {
        return Fail(folder_ + ": " + entry.error());
    }
    const std::string name = entry->url.value_or(std::to_string(addr));
    if (!entry->unreadable.empty()) {
        return Fail(name + ": " + entry->unreadable);
    }
    const std::uint64_t size = read->dataSize[fmt::kBodyStream];
    if (size == 0) {
        return CacheBody{};
    }
    const std::uint64_t ceiling =
        entry->contentEncoding.empty() ? std::min(limit, kMaxStoredBody) : kMaxStoredBody;
    if (size > ceiling) {
        return Fail(name + ": the body is larger than " + std::to_string(ceiling) + " bytes");
    }
    Result<chromium::StoredStream> stored =
        cache->store.Stream(read->dataAddr[fmt::kBodyStream], size);
    if (!stored) {
        return Fail(name + ": " + stored.error());
    }
    Result<DecodedBody> decoded = DecodeContent(entry->contentEncoding, stored->bytes, limit);
    if (!decoded) {
        return Fail(name + ": " + decoded.error());
    }
    return CacheBody{std::move(decoded->bytes), stored->truncated || decoded->truncated};
}

std::vector<Status> ChromiumBlockFileCache::DeleteEntries(
    const std::vector<CacheEntryRef>& chosen) {
    return std::vector<Status>(chosen.size(), Status(Fail(kReadOnly)));
}

Status ChromiumBlockFileCache::CanDelete() {
    return Fail(kReadOnly);
}

}  // namespace pellimor
