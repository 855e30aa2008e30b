#include "platform/urlcache/IndexDatCache.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/fileops/AtomicFile.h"
#include "platform/fileops/ConfinedFile.h"
#include "platform/fileops/MappedFile.h"
#include "platform/fileops/Paths.h"
#include "platform/fileops/PosixFileOps.h"
#include "platform/urlcache/CodePage.h"
#include "platform/urlcache/ContainerChecker.h"
#include "platform/urlcache/ContainerDelete.h"
#include "platform/urlcache/ContainerImage.h"
#include "platform/urlcache/DosTime.h"
#include "platform/urlcache/IndexDatFormat.h"

namespace pellimor {

namespace {

std::string StripTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

// The child of folder whose name equals name ignoring ASCII case, as it is spelled on
// disk: caches copied off Windows disks do not always keep the usual spelling.
std::optional<std::string> ChildIgnoringCase(const std::string& folder, std::string_view name) {
    const std::string exact = folder + "/" + std::string(name);
    if (IsFolder(exact) || IsFile(exact)) {
        return exact;
    }
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return std::nullopt;
    }
    std::optional<std::string> found;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view candidate = entry->d_name;
        if (candidate.size() == name.size() &&
            std::equal(candidate.begin(), candidate.end(), name.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) ==
                       std::tolower(static_cast<unsigned char>(b));
            })) {
            found = folder + "/" + std::string(candidate);
            break;
        }
    }
    ::closedir(dir);
    return found;
}

// What stands where an index file was expected, for the user.
std::string WhyNotAnIndex(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return path + " is a link that leads nowhere, not an index file";
    }
    return path + " is " + FileKindName(info.st_mode) + ", not an index file; left alone";
}

std::optional<ContainerLocation> ContainerAt(const std::string& parent,
                                             std::initializer_list<std::string_view> steps,
                                             std::vector<std::string>& problems) {
    std::string path = parent;
    for (const std::string_view step : steps) {
        const auto next = ChildIgnoringCase(path, step);
        if (!next) {
            return std::nullopt;
        }
        path = *next;
    }
    const auto index = ChildIgnoringCase(path, "index.dat");
    if (!index) {
        return std::nullopt;
    }
    if (!IsFile(*index)) {
        problems.push_back(WhyNotAnIndex(*index));
        return std::nullopt;
    }
    return ContainerLocation{*index, path};
}

bool IsSafeName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos &&
           name.find("..") == std::string_view::npos;
}

std::string LowerAscii(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

}  // namespace

std::vector<ContainerLocation> FindContainers(const std::string& cacheLocation,
                                              std::vector<std::string>* problemsOut) {
    std::vector<std::string> ignored;
    std::vector<std::string>& problems = problemsOut != nullptr ? *problemsOut : ignored;
    if (cacheLocation.empty()) {
        return {};
    }
    std::string location = StripTrailingSlashes(cacheLocation);
    if (const auto here = ContainerAt(location, {}, problems)) {
        return {*here};
    }
    // A profile folder given instead of its cache folder.
    for (const char* cacheName : {"INetCache", "Temporary Internet Files"}) {
        if (const auto inner = ChildIgnoringCase(location, cacheName); inner && IsFolder(*inner)) {
            location = *inner;
            break;
        }
    }
    const std::string parent = ParentFolder(location);
    const bool windowsXp = LowerAscii(location).ends_with("temporary internet files");
    std::vector<ContainerLocation> found;
    std::optional<ContainerLocation> cookies = ContainerAt(parent, {"INetCookies"}, problems);
    if (!cookies) {
        cookies = ContainerAt(parent, {"Cookies"}, problems);
    }
    if (!cookies && windowsXp) {
        cookies = ContainerAt(ParentFolder(parent), {"Cookies"},
                              problems);  // XP keeps them in the profile root
    }
    // Internet Explorer in protected mode (Vista and later) keeps a second content container
    // under Low; most of what its users browsed is there.
    for (const auto& container :
         {cookies, ContainerAt(parent, {"History", "History.IE5"}, problems),
          ContainerAt(location, {"Content.IE5"}, problems),
          ContainerAt(location, {"Low", "Content.IE5"}, problems)}) {
        if (container) {
            found.push_back(*container);
        }
    }
    return found;
}

std::string DecodeUrl(std::string_view stored, int codePage) {
    // Addresses written through the wide API are stored as UTF-8.
    if (IsValidUtf8(stored)) {
        return std::string(stored);
    }
    if (auto decoded = DecodeCodePage(stored, codePage)) {
        return *decoded;
    }
    return std::string(stored);
}

std::optional<std::string> LocalPathOf(const indexdat::ContainerView& view,
                                       const indexdat::RawUrlRecord& record,
                                       const std::string& folder, int codePage) {
    if (!record.fileName || !IsSafeName(*record.fileName)) {
        return std::nullopt;
    }
    std::string base = folder + "/";
    if (record.subfolder != indexdat::kNoSubfolder) {
        const auto& subfolders = view.header().subfolders;
        if (record.subfolder >= subfolders.size() ||
            !IsSafeName(subfolders[record.subfolder].name)) {
            return std::nullopt;
        }
        base += subfolders[record.subfolder].name + "/";
    }
    const std::string_view raw = *record.fileName;
    if (IsAscii(raw)) {
        return base + std::string(raw);
    }
    // The name on disk may have been written in another encoding than the index's.
    std::vector<std::string> candidates;
    const auto add = [&candidates](std::optional<std::string> name) {
        if (name) {
            candidates.push_back(std::move(*name));
        }
    };
    add(DecodeCodePage(raw, codePage));
    if (IsValidUtf8(raw)) {
        add(std::string(raw));
    }
    add(std::string(raw));
    for (int other = 1250; other <= 1258; ++other) {
        add(DecodeCodePage(raw, other));
    }
    // A code page can turn bytes that are no separator into one: names are judged as decoded.
    std::erase_if(candidates, [](const std::string& name) { return !IsSafeName(name); });
    if (candidates.empty()) {
        return std::nullopt;
    }
    for (const std::string& name : candidates) {
        if (IsFile(base + name)) {
            return base + name;
        }
    }
    return base + candidates.front();
}

IndexDatCache::IndexDatCache(std::string cacheLocation, int codePage, bool readOnly)
    : containers_(FindContainers(cacheLocation, &unusable_)),
      codePage_(codePage),
      readOnly_(readOnly) {}

namespace {

// Whether the mode bits let their owner write: judged from the bits alone, also for root,
// so that a copy made read-only (chmod -R a-w) is treated as read-only by everyone.
bool ModeAllowsWriting(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && (info.st_mode & S_IWUSR) != 0;
}

}  // namespace

std::string IndexDatCache::ReadOnlyReason() {
    if (readOnly_) {
        return "the cache was opened read-only (--read-only)";
    }
    for (const ContainerLocation& container : containers_) {
        if (!ModeAllowsWriting(container.indexPath)) {
            return container.indexPath + " is read-only";
        }
        if (!ModeAllowsWriting(container.folder) || ::access(container.folder.c_str(), W_OK) != 0) {
            return container.folder + " cannot be written";
        }
    }
    return {};
}

CacheStatus IndexDatCache::Enumerate(const std::function<bool(const CacheRecord&)>& visit) {
    CacheStatus status;
    const auto report = [&status](const std::string& text) {
        status.ok = false;
        status.error += (status.error.empty() ? "" : "\n") + text;
    };
    for (const std::string& problem : unusable_) {
        report(problem);
    }
    for (const ContainerLocation& container : containers_) {
        std::string error;
        const auto file = MappedFile::Open(container.indexPath, error);
        if (!file) {
            report("cannot read " + error);
            continue;
        }
        const auto view = indexdat::ContainerView::Open(file->bytes(), error);
        if (!view) {
            report(container.indexPath + ": " + error);
            continue;
        }
        bool stopped = false;
        std::string problem;
        const bool whole = view->ForEachLiveUrl(
            [&](const indexdat::RawUrlRecord& raw, const indexdat::HashItem&) {
                CacheRecord record;
                record.entryType = raw.entryType;
                if (raw.url) {
                    record.url = DecodeUrl(*raw.url, codePage_);
                }
                record.localFileName = LocalPathOf(*view, raw, container.folder, codePage_);
                record.lastModified = raw.lastModified;
                record.lastAccess = raw.lastAccess;
                record.expiresDos = raw.expiryDos;  // converted where shown: mktime is slow
                record.lastSyncDos = raw.lastSyncDos;
                record.recordedSize = raw.fileSize;
                record.hitCount = raw.hitCount;
                record.headers = std::string(raw.headers);
                record.container = container.indexPath;
                record.recordOffset = raw.offset;
                stopped = !visit(record);
                return !stopped;
            },
            &problem);
        if (!whole) {
            report(container.indexPath + ": only part of the index could be read: " + problem);
        }
        if (stopped) {
            break;
        }
    }
    return status;
}

std::vector<CacheStatus> IndexDatCache::DeleteEntries(const std::vector<CacheEntryRef>& chosen) {
    std::vector<CacheStatus> statuses(chosen.size());
    if (const std::string reason = ReadOnlyReason(); !reason.empty()) {
        for (CacheStatus& status : statuses) {
            status = {false, reason};
        }
        return statuses;
    }
    for (const ContainerLocation& container : containers_) {
        std::vector<const CacheEntryRef*> refs;
        std::vector<std::size_t> where;
        for (std::size_t i = 0; i < chosen.size(); ++i) {
            if (chosen[i].container == container.indexPath) {
                refs.push_back(&chosen[i]);
                where.push_back(i);
            }
        }
        if (refs.empty()) {
            continue;
        }
        const auto done = DeleteFromContainer(container, refs, codePage_);
        for (std::size_t k = 0; k < where.size(); ++k) {
            statuses[where[k]] = done[k];
        }
    }
    for (std::size_t i = 0; i < chosen.size(); ++i) {
        const bool known = std::any_of(
            containers_.begin(), containers_.end(),
            [&](const ContainerLocation& c) { return c.indexPath == chosen[i].container; });
        if (!known) {
            statuses[i] = {false, chosen[i].container + " is not a container of this cache"};
        }
    }
    return statuses;
}

CacheStatus IndexDatCache::DeleteEntry(const std::string& url) {
    std::optional<CacheEntryRef> found;
    Enumerate([&](const CacheRecord& record) {
        if (record.url != url) {
            return true;
        }
        found =
            CacheEntryRef{record.container, record.recordOffset, record.url, record.localFileName};
        return false;
    });
    if (!found) {
        return {false, "the cache holds no entry for " + url};
    }
    return DeleteEntries({*found}).front();
}

}  // namespace pellimor
