#include "platform/fileops/PosixFileOps.h"

#include "platform/fileops/ConfinedFile.h"
#include "platform/fileops/Paths.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>

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

// Errors that every file in the target's folder would meet, not just this one.
bool FolderCannotTakeFiles(int code) {
    return code == ENOENT || code == ENOTDIR || code == EACCES || code == EPERM || code == EROFS ||
           code == ENOSPC || code == EDQUOT;
}

// Whether this process may open the file for reading, judged from its mode bits: one stat
// instead of an open, a stat and a close for every movie of a large cache.
bool Readable(const struct stat& info) {
    static const uid_t user = ::geteuid();  // fixed for the life of the process
    if (user == 0) {
        return true;
    }
    if (info.st_uid == user) {
        return (info.st_mode & S_IRUSR) != 0;
    }
    static const gid_t group = ::getegid();
    if (info.st_gid == group) {
        return (info.st_mode & S_IRGRP) != 0;
    }
    return (info.st_mode & S_IROTH) != 0;
}

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

}  // namespace

bool PosixFileOps::ConfineTo(const std::string& root) {
    confined_ = true;
    foldersWithin_.clear();
    const auto resolved = ResolveFolder(root);
    root_ = resolved.value_or("");
    return resolved.has_value();
}

bool PosixFileOps::FolderWithinRoot(const std::string& folder) {
    if (!confined_) {
        return true;
    }
    if (root_.empty()) {
        return false;
    }
    const auto known = foldersWithin_.find(folder);
    if (known != foldersWithin_.end()) {
        return known->second;
    }
    const auto resolved = ResolveFolder(folder);
    const bool within = resolved && IsWithin(*resolved, root_);
    foldersWithin_.emplace(folder, within);
    return within;
}

// A listing needs only the size: a regular file is judged by its folder, resolved once per
// folder; a link is followed and checked on its descriptor. Reads, copies and removals
// always check the file itself.
std::optional<std::uint64_t> PosixFileOps::FileSize(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    if (S_ISLNK(info.st_mode)) {
        if (confined_ && root_.empty()) {
            return std::nullopt;
        }
        std::string error;
        auto opened = OpenWithin(path, root_, error);
        if (!opened || ::fstat(opened->fd.get(), &info) != 0) {
            return std::nullopt;
        }
    } else if (!S_ISREG(info.st_mode) || !FolderWithinRoot(ParentFolder(path))) {
        return std::nullopt;
    }
    if (!Readable(info)) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(info.st_size);
}

std::optional<std::string> PosixFileOps::ReadFile(const std::string& path, std::uint64_t limit,
                                                  std::string& error) {
    if (confined_ && root_.empty()) {
        error = "no cache folder to read " + path + " from";
        return std::nullopt;
    }
    return ReadWithin(path, root_, limit, error);
}

bool PosixFileOps::Exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

std::optional<std::vector<FolderItem>> PosixFileOps::ListFolder(
    const std::string& path, const std::function<bool(std::string_view)>& detailsFor) {
    if (path.empty()) {
        return std::nullopt;  // an empty path names no folder here
    }
    if (confined_ && root_.empty()) {
        return std::nullopt;
    }
    DIR* dir = ::opendir(path.c_str());
    if (dir == nullptr) {
        return std::nullopt;
    }
    const int dirFd = ::dirfd(dir);
    std::vector<FolderItem> items;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        FolderItem item;
        item.name = std::string(name);
        const bool details = detailsFor && detailsFor(name);
        bool isDirectory = entry->d_type == DT_DIR;
        const bool special = entry->d_type == DT_FIFO || entry->d_type == DT_CHR ||
                             entry->d_type == DT_BLK || entry->d_type == DT_SOCK;
        if (confined_ && special) {
            continue;
        }
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN || details) {
            struct stat info {};
            if (::fstatat(dirFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
                continue;  // vanished while listing
            }
            if (S_ISLNK(info.st_mode)) {
                item.attributes |= kAttributeReparsePoint;
                struct stat target {};
                if (::fstatat(dirFd, entry->d_name, &target, 0) == 0) {
                    info = target;  // a link is seen as what it leads to, marked as a link
                }
                if (confined_ && !LinkStaysWithin(path, name, root_)) {
                    continue;  // a link out of the cache folder is not part of it
                }
            }
            if (confined_ && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode)) {
                continue;  // FIFOs, devices, sockets and dangling links hold no movie
            }
            isDirectory = S_ISDIR(info.st_mode);
            if (details) {
                if ((info.st_mode & S_IWUSR) == 0) {
                    item.attributes |= kAttributeReadOnly;
                }
                item.created = FileTimeFromUnix(info.st_ctim.tv_sec, info.st_ctim.tv_nsec);
                item.lastWritten = FileTimeFromUnix(info.st_mtim.tv_sec, info.st_mtim.tv_nsec);
                item.size = isDirectory ? 0 : static_cast<std::uint64_t>(info.st_size);
            }
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
        items.push_back(std::move(item));
    }
    ::closedir(dir);
    // Windows lists a folder in name order, letters without regard to case; so does this
    // stand-in, whatever order the disk keeps.
    std::sort(items.begin(), items.end(), [](const FolderItem& a, const FolderItem& b) {
        const std::size_t n = std::min(a.name.size(), b.name.size());
        for (std::size_t i = 0; i < n; ++i) {
            const int x = std::tolower(static_cast<unsigned char>(a.name[i]));
            const int y = std::tolower(static_cast<unsigned char>(b.name[i]));
            if (x != y) {
                return x < y;
            }
        }
        return a.name.size() != b.name.size() ? a.name.size() < b.name.size() : a.name < b.name;
    });
    return items;
}

std::optional<FolderIdentity> PosixFileOps::IdentifyFolder(const std::string& path) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return std::nullopt;
    }
    return FolderIdentity{static_cast<std::uint64_t>(info.st_dev),
                          static_cast<std::uint64_t>(info.st_ino)};
}

namespace {

// Writes every byte; the system's error code, or 0.
int WriteAll(int fd, std::string_view bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            return put < 0 ? errno : ENOSPC;
        }
        done += static_cast<std::size_t>(put);
    }
    return 0;
}

}  // namespace

CopyResult PosixFileOps::WriteExclusive(const std::string& to, std::string_view bytes,
                                        CopyFailure* why) {
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (out < 0) {
        const int code = errno;
        if (code == EEXIST) {
            return CopyResult::kTargetExists;
        }
        if (why != nullptr) {
            *why = {std::strerror(code), FolderCannotTakeFiles(code)};
        }
        return CopyResult::kFailed;
    }
    int code = WriteAll(out, bytes);
    if (code == 0 && ::fsync(out) != 0) {
        code = errno;
    }
    if (::close(out) != 0 && code == 0) {
        code = errno;
    }
    if (code != 0) {
        ::unlink(to.c_str());  // never leave half a movie behind
        if (why != nullptr) {
            *why = {std::strerror(code), FolderCannotTakeFiles(code)};
        }
        return CopyResult::kFailed;
    }
    return CopyResult::kCopied;
}

CopyResult PosixFileOps::CopyExclusive(const std::string& from, const std::string& to,
                                       CopyFailure* why) {
    const auto fail = [why](std::string reason, bool targetFolder) {
        if (why != nullptr) {
            *why = {std::move(reason), targetFolder};
        }
        return CopyResult::kFailed;
    };
    if (confined_ && root_.empty()) {
        return fail("no cache folder to copy " + from + " from", false);
    }
    std::string error;
    const auto in = OpenWithin(from, root_, error);
    if (!in) {
        return fail(error, false);
    }
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (out < 0) {
        const int code = errno;
        if (code == EEXIST) {
            return CopyResult::kTargetExists;
        }
        return fail(std::strerror(code), FolderCannotTakeFiles(code));
    }
    // No more than the size the file had when it was opened: a file that grows while it is
    // copied cannot fill the disk.
    std::array<char, 1 << 16> buffer{};
    std::uint64_t left = in->size;
    bool ok = true;
    int code = 0;             // the system's error, if any
    bool targetSide = false;  // the failure lies in writing, not in reading
    while (ok && left > 0) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size()));
        const ssize_t got = ::read(in->fd.get(), buffer.data(), want);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            code = got < 0 ? errno : 0;
            ok = false;  // shorter than it was: the copy would not be the movie
            break;
        }
        left -= static_cast<std::uint64_t>(got);
        code = WriteAll(out, std::string_view(buffer.data(), static_cast<std::size_t>(got)));
        ok = code == 0;
        targetSide = !ok;
    }
    if (ok && ::fsync(out) != 0) {
        ok = false;
        code = errno;
        targetSide = true;
    }
    if (::close(out) != 0 && ok) {
        ok = false;
        code = errno;
        targetSide = true;
    }
    if (!ok) {
        ::unlink(to.c_str());  // never leave half a movie behind
        if (!targetSide) {
            return fail(code != 0 ? std::strerror(code)
                                  : "the cached file became shorter while it was copied",
                        false);
        }
        return fail(std::strerror(code), FolderCannotTakeFiles(code));
    }
    return CopyResult::kCopied;
}

bool PosixFileOps::RemoveFile(const std::string& path, std::string& error) {
    if (confined_ && root_.empty()) {
        error = "no cache folder to remove " + path + " from";
        return false;
    }
    return RemoveWithin(path, root_, error);
}
}  // namespace pellimor
