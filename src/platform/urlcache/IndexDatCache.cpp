#include "platform/urlcache/IndexDatCache.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "ground/AsciiText.h"
#include "platform/body/ContentDecoding.h"
#include "platform/fileops/AtomicFile.h"
#include "platform/fileops/ConfinedFile.h"
#include "platform/fileops/HeldFolder.h"
#include "platform/fileops/MappedFile.h"
#include "platform/fileops/Paths.h"
#include "platform/fileops/PosixFileOps.h"
#include "platform/listing/ListedTexts.h"
#include "platform/urlcache/CodePage.h"
#include "platform/urlcache/ContainerChecker.h"
#include "platform/urlcache/ContainerDelete.h"
#include "platform/urlcache/ContainerImage.h"
#include "platform/urlcache/DosTime.h"
#include "platform/urlcache/IndexDatFormat.h"
#include "platform/urlcache/RecordNames.h"

namespace pellimor {

IndexDatCache::IndexDatCache(std::string cacheLocation, int codePage, bool readOnly)
    : location_(std::move(cacheLocation)),
      containers_(FindContainers(location_, &unusable_)),
      codePage_(codePage),
      readOnly_(readOnly) {
    // Each container's folder is held from now on: what a delete changes is what was found
    // and listed here, whatever the paths lead to by then.
    for (const ContainerLocation& container : containers_) {
        held_.push_back(HeldFolder::Open(container.folder));
    }
}

namespace {

// Whether the mode bits let their owner write: judged from the bits alone, also for root,
// so that a copy made read-only (chmod -R a-w) is treated as read-only by everyone.
bool ModeAllowsWriting(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && (info.st_mode & S_IWUSR) != 0;
}

// Why a delete could not change this container; ok when it could.
Status ContainerWritable(const ContainerLocation& container) {
    if (!ModeAllowsWriting(container.indexPath)) {
        return Fail(container.indexPath + " is read-only");
    }
    if (!ModeAllowsWriting(container.folder) || ::access(container.folder.c_str(), W_OK) != 0) {
        return Fail(container.folder + " cannot be written");
    }
    return Done{};
}

}  // namespace

// Only the containers of cached files matter: a delete never writes the cookies' or the
// history's, which may well be read-only.
Status IndexDatCache::CanDelete() {
    if (readOnly_) {
        return Fail("the cache was opened read-only (--read-only)");
    }
    for (const ContainerLocation& container : containers_) {
        if (Status writable = ContainerWritable(container); container.content && !writable.ok()) {
            return writable;
        }
    }
    return Done{};
}

Status IndexDatCache::CanDeleteEntry(const EntryId& id) {
    if (readOnly_) {
        return Fail("the cache was opened read-only (--read-only)");
    }
    for (const ContainerLocation& container : containers_) {
        if (container.indexPath == id.file) {
            return ContainerWritable(container);
        }
    }
    return Fail(id.file + " is not a container of this cache");
}

EntryId IndexDatEntryId(const std::string& profile, const CacheRecord& record) {
    return EntryId{profile, record.container, record.recordOffset};
}

namespace {

// File times count 100 ns ticks from 1601; zero means none.
std::optional<UnixTime> UnixFromFileTime(std::uint64_t fileTime) {
    constexpr std::uint64_t kTicksPerSecond = 10'000'000;
    constexpr std::int64_t kSecondsFrom1601To1970 = 11'644'473'600;
    if (fileTime == 0) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(fileTime / kTicksPerSecond) - kSecondsFrom1601To1970;
}

EntryKind KindOf(std::uint32_t entryType) {
    if ((entryType & kCookieCacheEntry) != 0) {
        return EntryKind::kCookie;
    }
    if ((entryType & kUrlHistoryCacheEntry) != 0) {
        return EntryKind::kHistory;
    }
    if ((entryType & (kNormalCacheEntry | kStickyCacheEntry)) != 0) {
        return EntryKind::kDocument;
    }
    return EntryKind::kOther;
}

// The value of one header line ("Content-Type: a/b; x" gives "a/b"), lower case, into value
// (its storage reused); empty when there is no such line.
void HeaderValueInto(std::string_view headers, std::string_view name, std::string& value) {
    value.clear();
    std::size_t start = 0;
    while (start < headers.size()) {
        std::size_t end = headers.find('\n', start);
        if (end == std::string_view::npos) {
            end = headers.size();
        }
        std::string_view line = headers.substr(start, end - start);
        start = end + 1;
        if (line.size() <= name.size() || line[name.size()] != ':') {
            continue;
        }
        bool same = true;
        for (std::size_t i = 0; i < name.size() && same; ++i) {
            same = LowerAscii(line[i]) == name[i];
        }
        if (!same) {
            continue;
        }
        std::string_view text = line.substr(name.size() + 1);
        text = text.substr(0, text.find_first_of(";\r"));
        for (const char c : text) {
            if (c != ' ' && c != '\t') {
                value.push_back(LowerAscii(c));
            }
        }
        return;
    }
}

}  // namespace

// Straight from the mapped records into one entry whose texts keep their storage from one
// record to the next: the scan of a large cache is mostly this loop.
Status IndexDatCache::Enumerate(const std::function<bool(const CacheEntry&)>& visit) {
    CacheEntry entry;
    entry.sourceName = kInternetExplorerSource;
    entry.typedByFileName = true;
    entry.id.source = location_;
    std::string url;
    std::string path;
    return ForEachRawRecord([&](const ContainerLocation& container,
                                const indexdat::ContainerView& view,
                                const indexdat::RawUrlRecord& raw) {
        entry.id.file.assign(container.indexPath);
        entry.id.locator = raw.offset;
        entry.kind = KindOf(raw.entryType);
        if (raw.url) {
            DecodeUrlInto(*raw.url, codePage_, url);
            if (!entry.url) {
                entry.url.emplace();
            }
            entry.url->swap(url);
        } else {
            entry.url.reset();
        }
        if (LocalPathInto(view, raw, container.folder, codePage_, path)) {
            if (!entry.localFileName) {
                entry.localFileName.emplace();
            }
            entry.localFileName->swap(path);
        } else {
            entry.localFileName.reset();
        }
        entry.lastModified = UnixFromFileTime(raw.lastModified);
        entry.lastAccess = UnixFromFileTime(raw.lastAccess);
        entry.size = raw.fileSize;
        entry.headers.assign(raw.headers);
        HeaderValueInto(raw.headers, "content-type", entry.contentType);
        HeaderValueInto(raw.headers, "content-encoding", entry.contentEncoding);
        entry.unreadable.clear();
        CapListedTexts(entry);
        return visit(entry);
    });
}

Result<std::pair<std::string, std::string>> IndexDatCache::BodyFileOf(const EntryId& id) {
    if (id.source != location_) {
        return Fail("the entry is not one of " + location_);
    }
    std::optional<std::string> path;
    std::string folder;
    (void)EnumerateRecords([&](const CacheRecord& record) {
        if (record.container != id.file || record.recordOffset != id.locator) {
            return true;
        }
        path = record.localFileName;
        for (const ContainerLocation& container : containers_) {
            if (container.indexPath == record.container) {
                folder = container.folder;
            }
        }
        return false;
    });
    if (!path) {
        return Fail("the entry is no longer in the cache, or names no file");
    }
    auto root = ResolveFolder(folder);
    if (!root) {
        return Fail(folder + " is no folder");
    }
    return std::pair{std::move(*path), std::move(*root)};
}

Result<CacheBody> IndexDatCache::ReadBody(const EntryId& id, std::uint64_t limit) {
    const auto file = BodyFileOf(id);
    if (!file) {
        return Failure{file.error()};
    }
    return CacheBody{PELLIMOR_TRY(ReadWithin(file->first, file->second, limit)), false};
}

Result<StreamedBody> IndexDatCache::StreamBody(const EntryId& id, std::uint64_t limit,
                                               const ByteSink& sink) {
    const auto file = BodyFileOf(id);
    if (!file) {
        return Failure{file.error()};
    }
    const OpenedFile opened = PELLIMOR_TRY(OpenWithin(file->first, file->second));
    if (opened.size > limit) {
        return Fail(file->first + " is larger than " + std::to_string(limit) + " bytes");
    }
    bool cut = false;
    const StoredReader read = ReadFromDescriptor(opened.fd.get(), 0, opened.size, file->first, cut);
    auto streamed = DecodeContentStream("", read, limit, sink);
    if (!streamed) {
        return Failure{streamed.error()};
    }
    return StreamedBody{streamed->bytes, cut, streamed->stopped};
}

Status IndexDatCache::ForEachRawRecord(const RawVisit& visit) {
    std::string errors;
    const auto report = [&errors](const std::string& text) {
        errors += (errors.empty() ? "" : "\n") + text;
    };
    for (const std::string& problem : unusable_) {
        report(problem);
    }
    for (const ContainerLocation& container : containers_) {
        const auto file = MappedFile::Open(container.indexPath);
        if (!file) {
            report("cannot read " + file.error());
            continue;
        }
        const auto view = indexdat::ContainerView::Open(file->bytes());
        if (!view) {
            report(container.indexPath + ": " + view.error());
            continue;
        }
        bool stopped = false;
        // Hash items that lead to a record already seen name the same entry: it is visited
        // once, however many items a damaged table gives it.
        std::vector<bool> seen(view->usableSize() / indexdat::kBlockSize + 1);
        const Status whole =
            view->ForEachLiveUrl([&](const indexdat::RawUrlRecord& raw, const indexdat::HashItem&) {
                const std::size_t block = raw.offset / indexdat::kBlockSize;
                if (block >= seen.size() || seen[block]) {
                    return true;
                }
                seen[block] = true;
                stopped = !visit(container, *view, raw);
                return !stopped;
            });
        if (!whole) {
            report(container.indexPath +
                   ": only part of the index could be read: " + whole.error());
        }
        if (stopped) {
            break;
        }
    }
    if (!errors.empty()) {
        return Fail(errors);
    }
    return Done{};
}

Status IndexDatCache::EnumerateRecords(const std::function<bool(const CacheRecord&)>& visit) {
    return ForEachRawRecord([&](const ContainerLocation& container,
                                const indexdat::ContainerView& view,
                                const indexdat::RawUrlRecord& raw) {
        CacheRecord record;
        record.entryType = raw.entryType;
        if (raw.url) {
            record.url = DecodeUrl(*raw.url, codePage_);
        }
        record.localFileName = LocalPathOf(view, raw, container.folder, codePage_);
        record.lastModified = raw.lastModified;
        record.lastAccess = raw.lastAccess;
        record.expiresDos = raw.expiryDos;  // converted where shown: mktime is slow
        record.lastSyncDos = raw.lastSyncDos;
        record.recordedSize = raw.fileSize;
        record.hitCount = raw.hitCount;
        record.headers = std::string(raw.headers);
        record.container = container.indexPath;
        record.recordOffset = raw.offset;
        return visit(record);
    });
}

std::vector<Status> IndexDatCache::DeleteEntries(const std::vector<CacheEntryRef>& chosen) {
    std::vector<Status> statuses(chosen.size());
    for (std::size_t k = 0; k < containers_.size(); ++k) {
        const ContainerLocation& container = containers_[k];
        std::vector<const CacheEntryRef*> refs;
        std::vector<std::size_t> where;
        for (std::size_t i = 0; i < chosen.size(); ++i) {
            // The container names the entry's place; the profile has already sent it here.
            if (chosen[i].id.file == container.indexPath) {
                refs.push_back(&chosen[i]);
                where.push_back(i);
            }
        }
        if (refs.empty()) {
            continue;
        }
        std::vector<Status> done;
        if (Status can = CanDeleteEntry(chosen[where.front()].id); !can.ok()) {
            done.assign(refs.size(), can);
        } else if (!held_[k].ok()) {
            done.assign(refs.size(), Status(Fail(held_[k].error())));
        } else {
            done = DeleteFromContainer(container, *held_[k], refs, codePage_);
        }
        for (std::size_t n = 0; n < where.size(); ++n) {
            statuses[where[n]] = done[n];
        }
    }
    for (std::size_t i = 0; i < chosen.size(); ++i) {
        const bool known = std::any_of(
            containers_.begin(), containers_.end(),
            [&](const ContainerLocation& c) { return c.indexPath == chosen[i].id.file; });
        if (!known) {
            statuses[i] = Fail(chosen[i].id.file + " is not a container of this cache");
        }
    }
    return statuses;
}

Status IndexDatCache::DeleteEntry(const std::string& url) {
    std::optional<CacheEntryRef> found;
    (void)EnumerateRecords([&](const CacheRecord& record) {
        if (record.url != url) {
            return true;
        }
        found = CacheEntryRef{IndexDatEntryId(location_, record), record.url, record.localFileName};
        return false;
    });
    if (!found) {
        return Fail("the cache holds no entry for " + url);
    }
    return DeleteEntries({*found}).front();
}

}  // namespace pellimor
