// Reads, sizes and removals of the cache's files, confined to the cache folder.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "platform/fileops/ConfinedFile.h"
#include "platform/fileops/PosixFileOps.h"

namespace pellimor {

namespace {

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

}  // namespace

bool PosixFileOps::ConfineTo(const std::string& root) {
    confined_ = true;
    openFolders_.clear();
    const auto resolved = ResolveFolder(root);
    root_ = resolved.value_or("");
    heldRoot_.reset();
    if (Result<HeldFolder> held = HeldFolder::Open(root); held.ok()) {
        heldRoot_.emplace(std::move(held).value());
    }
    return resolved.has_value();
}

// The folders of a cache are few and its files many: each folder is opened once and its
// files are asked about relative to it, so the kernel does not walk the whole path again
// for every file. Where the folder lies is judged on the opened descriptor.
PosixFileOps::OpenFolder* PosixFileOps::FolderOf(std::string_view folder) {
    for (OpenFolder& known : openFolders_) {
        if (known.path == folder) {
            return &known;
        }
    }
    constexpr std::size_t kMostOpenFolders = 64;  // a hostile cache may have many
    if (openFolders_.size() == kMostOpenFolders) {
        openFolders_.erase(openFolders_.begin());
    }
    const std::string path(folder);
    UniqueFd fd(::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid()) {
        return nullptr;
    }
    bool within = !confined_;
    if (confined_ && !root_.empty()) {
        const auto resolved = PathOfDescriptor(fd.get());
        within = resolved && IsWithin(*resolved, root_);
    }
    openFolders_.push_back({path, std::move(fd), within});
    return &openFolders_.back();
}

void PosixFileOps::ForgetFolder(const OpenFolder* folder) {
    std::erase_if(openFolders_, [folder](const OpenFolder& known) { return &known == folder; });
}

// A listing needs only the size: a regular file is judged by its folder, opened once per
// folder; a link is followed and checked on its descriptor. Reads, copies and removals
// always check the file itself.
Result<std::uint64_t> PosixFileOps::FileSize(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash + 1 == path.size()) {
        return Fail(path + " is no full path of a file");  // the cache's files are named so
    }
    const std::string_view folderPath =
        slash == 0 ? std::string_view("/") : std::string_view(path).substr(0, slash);
    const char* name = path.c_str() + slash + 1;
    struct stat info {};
    const OpenFolder* folder = FolderOf(folderPath);
    if (folder != nullptr && ::fstatat(folder->fd.get(), name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
        const int code = errno;
        struct stat opened {};
        if (::fstat(folder->fd.get(), &opened) != 0 || opened.st_nlink > 0) {
            return Fail(path + ": " + std::strerror(code));
        }
        // Removed since it was opened, and perhaps made again: open it once more.
        ForgetFolder(folder);
        folder = FolderOf(folderPath);
        if (folder != nullptr &&
            ::fstatat(folder->fd.get(), name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
            return Fail(path + ": " + std::strerror(errno));
        }
    }
    if (folder == nullptr) {
        return Fail(std::string(folderPath) + " cannot be opened");
    }
    if (S_ISLNK(info.st_mode)) {
        return SizeThroughLink(path);
    }
    if (!S_ISREG(info.st_mode) || !folder->within) {
        return Fail(path + " is no regular file within the cache folder");
    }
    if (!Readable(info)) {
        return Fail(path + ": " + std::strerror(EACCES));
    }
    return static_cast<std::uint64_t>(info.st_size);
}

Result<std::uint64_t> PosixFileOps::SizeThroughLink(const std::string& path) {
    if (confined_ && root_.empty()) {
        return Fail("no cache folder to read " + path + " from");
    }
    const OpenedFile opened = PELLIMOR_TRY(OpenWithin(path, root_));
    struct stat info {};
    if (::fstat(opened.fd.get(), &info) != 0) {
        return Fail(path + ": " + std::strerror(errno));
    }
    if (!Readable(info)) {
        return Fail(path + ": " + std::strerror(EACCES));
    }
    return static_cast<std::uint64_t>(info.st_size);
}

Result<std::string> PosixFileOps::ReadFile(const std::string& path, std::uint64_t limit) {
    if (confined_ && root_.empty()) {
        return Fail("no cache folder to read " + path + " from");
    }
    return ReadWithin(path, root_, limit);
}

Result<std::uint64_t> PosixFileOps::StreamFile(const std::string& path, std::uint64_t limit,
                                               const ByteSink& sink) {
    if (confined_ && root_.empty()) {
        return Fail("no cache folder to read " + path + " from");
    }
    const OpenedFile file = PELLIMOR_TRY(OpenWithin(path, root_));
    if (file.size > limit) {
        return Fail(path + " is larger than " + std::to_string(limit) + " bytes");
    }
    // No more than the size the file had when it was opened: one that grows cannot run on.
    std::vector<char> piece(kBodyPiece);
    std::uint64_t done = 0;
    while (done < file.size) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(file.size - done, piece.size()));
        const ssize_t got = ::read(file.fd.get(), piece.data(), want);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return Fail(path + ": " + std::strerror(errno));
        }
        if (got == 0) {
            break;  // shorter now than when it was opened: what there is
        }
        done += static_cast<std::uint64_t>(got);
        if (!sink(std::string_view(piece.data(), static_cast<std::size_t>(got)))) {
            break;
        }
    }
    return done;
}

bool PosixFileOps::Exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

Status PosixFileOps::RemoveFile(const std::string& path) {
    if (confined_ && root_.empty()) {
        return Fail("no cache folder to remove " + path + " from");
    }
    if (!confined_) {
        return RemoveWithin(path, root_);
    }
    // Within the folder as it was when the cache was found, whatever its path leads to now.
    const auto relative = heldRoot_ ? heldRoot_->Relative(path) : std::nullopt;
    if (!relative) {
        return Fail(path + " lies outside the cache folder; left alone");
    }
    PELLIMOR_TRY(heldRoot_->StillThere());
    return heldRoot_->RemoveFile(*relative, path);
}

}  // namespace pellimor
