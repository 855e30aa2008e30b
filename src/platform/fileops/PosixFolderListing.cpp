// Folder listings as Windows gives them: every entry with its kind, in name order without
// regard to case, links marked; within a confined cache only what lies inside it.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "ground/AsciiText.h"
#include "platform/fileops/ConfinedFile.h"
#include "platform/fileops/PosixFileOps.h"

namespace pellimor {

std::uint64_t FileTimeFromUnix(long long seconds, long nanoseconds) {
    constexpr long long kSecondsFrom1601To1970 = 11'644'473'600LL;
    const long long since1601 = seconds + kSecondsFrom1601To1970;
    if (since1601 < 0) {
        return 0;
    }
    return static_cast<std::uint64_t>(since1601) * 10'000'000ULL +
           static_cast<std::uint64_t>(nanoseconds / 100);
}

namespace {

// Whether the link name in folder leads, resolved, to a place within root.
bool LinkStaysWithin(const std::string& folder, std::string_view name, const std::string& root) {
    if (root.empty()) {
        return false;
    }
    std::string path = folder;
    if (path.back() != '/') {
        path += '/';
    }
    path += name;
    char* real = ::realpath(path.c_str(), nullptr);
    if (real == nullptr) {
        return false;
    }
    const bool within = IsWithin(real, root);
    std::free(real);
    return within;
}

// Windows lists a folder in name order, letters without regard to case; so does this
// stand-in, whatever order the disk keeps. Each name is lowered once, not at every
// comparison: a folder of a large cache holds tens of thousands of names.
void SortAsWindowsLists(std::vector<FolderItem>& items) {
    std::vector<std::string> lowered;
    lowered.reserve(items.size());
    std::vector<std::uint32_t> order(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        lowered.push_back(LoweredAscii(items[i].name));
        order[i] = static_cast<std::uint32_t>(i);
    }
    // Indices are sorted, not the items, so that each item moves once.
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        const int byLowered = lowered[a].compare(lowered[b]);
        return byLowered != 0 ? byLowered < 0 : items[a].name < items[b].name;
    });
    std::vector<FolderItem> sorted;
    sorted.reserve(items.size());
    for (const std::uint32_t i : order) {
        sorted.push_back(std::move(items[i]));
    }
    items = std::move(sorted);
}

// Sets the bits and, when details are asked for, the times and size of item from info.
void Describe(FolderItem& item, const struct stat& info, bool details) {
    if (!details) {
        return;
    }
    if ((info.st_mode & S_IWUSR) == 0) {
        item.attributes |= kAttributeReadOnly;
    }
    item.created = FileTimeFromUnix(info.st_ctim.tv_sec, info.st_ctim.tv_nsec);
    item.lastWritten = FileTimeFromUnix(info.st_mtim.tv_sec, info.st_mtim.tv_nsec);
    item.size = S_ISDIR(info.st_mode) ? 0 : static_cast<std::uint64_t>(info.st_size);
}

}  // namespace

// The entry as listed, or nothing when it is left out: vanished, special, or a link out of
// the cache folder.
std::optional<FolderItem> PosixFileOps::ListedItem(
    int dirFd, const std::string& path, const dirent& entry,
    const std::function<bool(std::string_view)>& detailsFor) {
    const std::string_view name = entry.d_name;
    FolderItem item;
    item.name = std::string(name);
    const bool details = detailsFor && detailsFor(name);
    bool isDirectory = entry.d_type == DT_DIR;
    const bool special = entry.d_type == DT_FIFO || entry.d_type == DT_CHR ||
                         entry.d_type == DT_BLK || entry.d_type == DT_SOCK;
    if (confined_ && special) {
        return std::nullopt;
    }
    if (entry.d_type == DT_LNK || entry.d_type == DT_UNKNOWN || details) {
        struct stat info {};
        if (::fstatat(dirFd, entry.d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
            return std::nullopt;  // vanished while listing
        }
        if (S_ISLNK(info.st_mode)) {
            item.attributes |= kAttributeReparsePoint;
            struct stat target {};
            if (::fstatat(dirFd, entry.d_name, &target, 0) == 0) {
                info = target;  // a link is seen as what it leads to, marked as a link
            }
            if (confined_ && !LinkStaysWithin(path, name, root_)) {
                return std::nullopt;  // a link out of the cache folder is not part of it
            }
        }
        if (confined_ && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode)) {
            return std::nullopt;  // FIFOs, devices, sockets and dangling links hold no movie
        }
        isDirectory = S_ISDIR(info.st_mode);
        Describe(item, info, details);
    }
    if (isDirectory) {
        item.attributes |= kAttributeDirectory;
    }
    if (name[0] == '.') {
        item.attributes |= kAttributeHidden;
    }
    if (item.attributes == 0) {
        item.attributes = kAttributeNormal;
    }
    return item;
}

Result<std::vector<FolderItem>> PosixFileOps::ListFolder(
    const std::string& path, const std::function<bool(std::string_view)>& detailsFor) {
    if (path.empty()) {
        return Fail("an empty path names no folder");
    }
    if (confined_ && root_.empty()) {
        return Fail("no cache folder to list " + path + " in");
    }
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(path.c_str()), ::closedir);
    if (!dir) {
        return Fail(path + ": " + std::strerror(errno));
    }
    const int dirFd = ::dirfd(dir.get());
    std::vector<FolderItem> items;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        if (auto item = ListedItem(dirFd, path, *entry, detailsFor)) {
            items.push_back(std::move(*item));
        }
    }
    SortAsWindowsLists(items);
    return items;
}

Result<FolderIdentity> PosixFileOps::IdentifyFolder(const std::string& path) {
    struct stat info {};
    if (path.empty()) {
        return Fail("an empty path names no folder");
    }
    if (::stat(path.c_str(), &info) != 0) {
        return Fail(path + ": " + std::strerror(errno));
    }
    if (!S_ISDIR(info.st_mode)) {
        return Fail(path + " is " + FileKindName(info.st_mode) + ", not a folder");
    }
    return FolderIdentity{static_cast<std::uint64_t>(info.st_dev),
                          static_cast<std::uint64_t>(info.st_ino)};
}

Result<std::string> PosixFileOps::RealPathOfFolder(const std::string& path) {
    PELLIMOR_TRY(IdentifyFolder(path));
    char* real = ::realpath(path.c_str(), nullptr);
    if (real == nullptr) {
        return path;
    }
    std::string resolved = real;
    std::free(real);
    return resolved;
}

}  // namespace pellimor
