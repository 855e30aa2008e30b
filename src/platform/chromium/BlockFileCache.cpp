#include "platform/chromium/BlockFileCache.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <unordered_set>

#include "ground/AsciiText.h"
#include "ground/ByteReader.h"
#include "platform/body/CollectedBody.h"
#include "platform/body/ContentDecoding.h"
#include "platform/chromium/BlockFileEntry.h"
#include "platform/chromium/BlockFileFormat.h"
#include "platform/chromium/BlockFileIndex.h"
#include "platform/chromium/BlockFileStore.h"
#include "platform/chromium/ChromiumFolders.h"
#include "platform/chromium/ReadAt.h"
#include "platform/chromium/ResponseInfo.h"
#include "platform/fileops/ConfinedFile.h"
#include "platform/fileops/FolderFile.h"
#include "platform/listing/ListedTexts.h"

namespace pellimor {

namespace {

namespace fmt = chromium_blockfile;

constexpr std::size_t kBodyStartLength = 8;
constexpr std::uint32_t kMaxResponseSize = 4u << 20;
constexpr std::uint64_t kMaxStoredBody = 1ULL << 30;

const char kReadOnly[] = "Chrome's block-file cache is read-only: Pellimor does not change it";

// A movie's first bytes: "FWS", "CWS" or "ZWS" and a version from 1 to 50.
bool StartsLikeMovie(std::string_view start) {
    constexpr unsigned kHighestVersion = 50;
    return start.size() >= 4 && (start[0] == 'F' || start[0] == 'C' || start[0] == 'Z') &&
           start.substr(1, 2) == "WS" && static_cast<unsigned char>(start[3]) >= 1 &&
           static_cast<unsigned char>(start[3]) <= kHighestVersion;
}

// The number of an external file's name ("f_00001a"), or nothing for other names.
std::optional<std::uint32_t> ExternalFileNumber(std::string_view lowerName) {
    constexpr std::size_t kDigits = 6;
    const std::string_view prefix = fmt::kExternalPrefix;
    if (lowerName.size() != prefix.size() + kDigits ||
        lowerName.substr(0, prefix.size()) != prefix) {
        return std::nullopt;
    }
    std::uint32_t number = 0;
    for (char c : lowerName.substr(prefix.size())) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            return std::nullopt;
        }
        number = number << 4 | static_cast<std::uint32_t>(c <= '9' ? c - '0' : c - 'a' + 10);
    }
    return number;
}

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
    std::size_t undescribed = 0;
    std::string firstProblem;
    Status walked = chromium::WalkIndex(
        cache->store, folder_, [&](std::uint32_t addr, const chromium::BlockFileEntry& read) {
            if (read.keyShared) {
                return true;  // reported by the walk; its address is another entry's
            }
            Result<CacheEntry> entry = DescribeEntry(cache->store, folder_, addr, read);
            if (!entry) {
                if (undescribed++ == 0) {
                    firstProblem = entry.error();
                }
                return true;
            }
            CapListedTexts(*entry);
            return visit(*entry);
        });
    if (!walked || undescribed == 0) {
        return walked;
    }
    return Fail(folder_ + ": " + firstProblem +
                (undescribed > 1 ? " (and " + std::to_string(undescribed - 1) + " more)" : ""));
}

Result<CacheBody> ChromiumBlockFileCache::ReadBody(const EntryId& id, std::uint64_t limit) {
    return CollectedBody(*this, id, limit);
}

// The stored body is read whole (a block file's pieces or its own f_ file, at most
// kMaxStoredBody), then decoded in pieces.
Result<StreamedBody> ChromiumBlockFileCache::StreamBody(const EntryId& id, std::uint64_t limit,
                                                        const ByteSink& sink) {
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
        return StreamedBody{};
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
    Result<DecodedStream> decoded =
        DecodeContentStream(entry->contentEncoding, stored->bytes, limit, sink);
    if (!decoded) {
        return Fail(name + ": " + decoded.error());
    }
    return StreamedBody{decoded->bytes, stored->truncated || decoded->truncated, decoded->stopped};
}

Status ChromiumBlockFileCache::EnumerateLeftovers(
    const std::function<bool(const std::string&)>& visit) {
    Result<Opened> cache = OpenCache(folder_);
    if (!cache) {
        return Failure{cache.error()};
    }
    std::unordered_set<std::uint32_t> referenced;
    auto note = [&](std::uint32_t addr) {
        if (InUse(addr) && FileType(addr) == fmt::kExternal) {
            referenced.insert(addr & fmt::kAddrFileNumberMask);
        }
    };
    const Status walked = chromium::WalkIndex(
        cache->store, folder_, [&](std::uint32_t, const chromium::BlockFileEntry& entry) {
            for (std::uint32_t addr : entry.dataAddr) {
                note(addr);
            }
            note(entry.longKey);
            return true;
        });
    // With chains unread, files that entries use would pass for left over.
    if (!walked) {
        return Fail(walked.error() + "; its left-over files are not looked for");
    }
    std::vector<std::string> candidates;
    for (const auto& [lower, name] : cache->store.names()) {
        const auto number = ExternalFileNumber(lower);
        if (number && !referenced.contains(*number)) {
            candidates.push_back(name);
        }
    }
    std::sort(candidates.begin(), candidates.end());
    const UniqueFd folderFd(::open(cache->root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!folderFd.valid()) {
        return Fail(folder_ + ": " + std::strerror(errno));
    }
    for (const std::string& name : candidates) {
        const std::string path = cache->root + "/" + name;
        Result<FolderFile> file = OpenInFolder(folderFd.get(), name, path);
        if (!file) {
            continue;  // a FIFO, a link ...: no body of Chrome's
        }
        Result<std::string> start = chromium::ReadAt(file->fd.get(), 0, kBodyStartLength, path);
        if (start && StartsLikeMovie(*start) && !visit(folder_ + "/" + name)) {
            break;
        }
    }
    return Done{};
}

std::optional<std::string> ChromiumBlockFileCache::LeftoverFolderOf(const std::string& path) {
    const std::string prefix = folder_ + "/";
    if (path.size() <= prefix.size() || path.compare(0, prefix.size(), prefix) != 0) {
        return std::nullopt;
    }
    std::string name = path.substr(prefix.size());
    LowerAsciiInPlace(name);
    if (!ExternalFileNumber(name)) {
        return std::nullopt;
    }
    return folder_;
}

std::vector<Status> ChromiumBlockFileCache::DeleteEntries(
    const std::vector<CacheEntryRef>& chosen) {
    return std::vector<Status>(chosen.size(), Status(Fail(kReadOnly)));
}

Status ChromiumBlockFileCache::CanDelete() {
    return Fail(kReadOnly);
}

}  // namespace pellimor
