#include "platform/fileops/PosixFileOps.h"

#include "ground/AsciiText.h"
#include "platform/FaultHooks.h"
#include "platform/fileops/ConfinedFile.h"
#include "platform/fileops/Paths.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string_view>

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
std::optional<std::uint64_t> PosixFileOps::FileSize(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash + 1 == path.size()) {
        return std::nullopt;  // the cache's files are named by full paths
    }
    const std::string_view folderPath =
        slash == 0 ? std::string_view("/") : std::string_view(path).substr(0, slash);
    const char* name = path.c_str() + slash + 1;
    struct stat info {};
    const OpenFolder* folder = FolderOf(folderPath);
    if (folder != nullptr && ::fstatat(folder->fd.get(), name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
        struct stat opened {};
        if (::fstat(folder->fd.get(), &opened) != 0 || opened.st_nlink > 0) {
            return std::nullopt;
        }
        // Removed since it was opened, and perhaps made again: open it once more.
        ForgetFolder(folder);
        folder = FolderOf(folderPath);
        if (folder != nullptr &&
            ::fstatat(folder->fd.get(), name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
            return std::nullopt;
        }
    }
    if (folder == nullptr) {
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
    } else if (!S_ISREG(info.st_mode) || !folder->within) {
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

Result<std::uint64_t> PosixFileOps::StreamFile(const std::string& path, std::uint64_t limit,
                                               const ByteSink& sink) {
    if (confined_ && root_.empty()) {
        return Fail("no cache folder to read " + path + " from");
    }
    std::string error;
    const auto file = OpenWithin(path, root_, error);
    if (!file) {
        return Fail(error);
    }
    if (file->size > limit) {
        return Fail(path + " is larger than " + std::to_string(limit) + " bytes");
    }
    // No more than the size the file had when it was opened: one that grows cannot run on.
    std::vector<char> piece(kBodyPiece);
    std::uint64_t done = 0;
    while (done < file->size) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(file->size - done, piece.size()));
        const ssize_t got = ::read(file->fd.get(), piece.data(), want);
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
    SortAsWindowsLists(items);
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

namespace {

// A copy in a file of its folder that has no name (O_TMPFILE) or, where the file system
// offers none, a temporary name that no saved movie can have; named by a hard link, which
// fails when the name is taken instead of replacing what is there.
class PosixPendingCopy : public PendingCopy {
  public:
    PosixPendingCopy(PosixFileOps& owner, UniqueFd fd, std::string temporary)
        : owner_(owner), fd_(std::move(fd)), temporary_(std::move(temporary)) {}
    ~PosixPendingCopy() override {
        if (!named_ && !temporary_.empty()) {
            ::unlink(temporary_.c_str());
        }
    }
    PosixPendingCopy(const PosixPendingCopy&) = delete;
    PosixPendingCopy& operator=(const PosixPendingCopy&) = delete;

    CopyResult NameAs(const std::string& to, CopyFailure* why) override {
        if (named_) {
            if (why != nullptr) {
                *why = {"the copy has a name already", false};
            }
            return CopyResult::kFailed;
        }
        const std::string from =
            temporary_.empty() ? "/proc/self/fd/" + std::to_string(fd_.get()) : temporary_;
        if (::linkat(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), AT_SYMLINK_FOLLOW) != 0) {
            const int code = errno;
            if (code == EEXIST) {
                return CopyResult::kTargetExists;
            }
            if (why != nullptr) {
                *why = {std::strerror(code), FolderCannotTakeFiles(code)};
            }
            return CopyResult::kFailed;
        }
        named_ = true;
        if (!temporary_.empty()) {
            ::unlink(temporary_.c_str());
        }
        owner_.NoteNamedIn(ParentFolder(to));
        return CopyResult::kCopied;
    }

  private:
    PosixFileOps& owner_;
    UniqueFd fd_;
    std::string temporary_;  // empty: the file has no name
    bool named_ = false;
};

// A file in folder to write a copy into, nameless where the system allows; its temporary
// name otherwise. The system's error code on failure.
int OpenUnnamed(const std::string& folder, UniqueFd& fd, std::string& temporary) {
    // Naming a nameless file goes through /proc; without it, a temporary name is used.
    static const bool procFds = ::access("/proc/self/fd", X_OK) == 0;  // fixed for the process
    if (procFds) {
        fd = UniqueFd(::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644));
        if (fd.valid()) {
            return 0;
        }
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            return errno;
        }
    }
    std::string name = folder + "/.pellimor-copy-XXXXXX";
    fd = UniqueFd(::mkostemp(name.data(), O_CLOEXEC));
    if (!fd.valid()) {
        return errno;
    }
    ::fchmod(fd.get(), 0644);
    temporary = std::move(name);
    return 0;
}

}  // namespace

// A nameless file in folder filled by write, which says why it failed, if it did.
std::unique_ptr<PendingCopy> PosixFileOps::Stage(const std::string& folder,
                                                 const std::function<WriteFailure(int)>& write,
                                                 CopyFailure* why) {
    UniqueFd out;
    std::string temporary;
    if (const int code = OpenUnnamed(folder, out, temporary); code != 0) {
        if (why != nullptr) {
            *why = {std::strerror(code), FolderCannotTakeFiles(code)};
        }
        return nullptr;
    }
    const int fd = out.get();
    auto copy = std::make_unique<PosixPendingCopy>(*this, std::move(out), std::move(temporary));
    const WriteFailure failure = write(fd);
    if (!failure.reason.empty()) {
        if (why != nullptr) {
            *why = {failure.reason, failure.targetSide && FolderCannotTakeFiles(failure.code)};
        }
        return nullptr;  // the copy goes with its file, which no name leads to
    }
    return copy;
}

std::unique_ptr<PendingCopy> PosixFileOps::StageBytes(std::string_view bytes,
                                                      const std::string& folder, CopyFailure* why) {
    return Stage(
        folder,
        [bytes](int out) {
            const int code = WriteAll(out, bytes);
            return code == 0 ? WriteFailure{} : WriteFailure{std::strerror(code), code, true};
        },
        why);
}

std::unique_ptr<PendingCopy> PosixFileOps::StageStream(
    const std::function<Status(const ByteSink&)>& produce, const std::string& folder,
    CopyFailure* why) {
    return Stage(
        folder,
        [&produce](int out) -> WriteFailure {
            int code = 0;
            const Status made = produce([out, &code](std::string_view piece) {
                code = WriteAll(out, piece);
                return code == 0;
            });
            if (code != 0) {
                return {std::strerror(code), code, true};
            }
            return made.ok() ? WriteFailure{} : WriteFailure{made.error(), 0, false};
        },
        why);
}

std::unique_ptr<PendingCopy> PosixFileOps::StageCopy(const std::string& from,
                                                     const std::string& folder, CopyFailure* why) {
    if (confined_ && root_.empty()) {
        if (why != nullptr) {
            *why = {"no cache folder to copy " + from + " from", false};
        }
        return nullptr;
    }
    std::string error;
    const auto in = OpenWithin(from, root_, error);
    if (!in) {
        if (why != nullptr) {
            *why = {error, false};
        }
        return nullptr;
    }
    // For the tests that kill a batch of copies in the middle of one.
    const bool dieHalfway = ++copiesStaged_ == fault::KillInCopy();
    return Stage(
        folder,
        [&in, dieHalfway](int out) -> WriteFailure {
            // No more than the size the file had when it was opened: a file that grows
            // while it is copied cannot fill the disk.
            std::array<char, 1 << 16> buffer{};
            std::uint64_t left = in->size;
            while (left > 0) {
                const std::size_t want =
                    static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size()));
                const ssize_t got = ::read(in->fd.get(), buffer.data(), want);
                if (got < 0 && errno == EINTR) {
                    continue;
                }
                if (got <= 0) {
                    const int code = got < 0 ? errno : 0;
                    return {code != 0 ? std::strerror(code)
                                      : "the cached file became shorter while it was copied",
                            code, false};
                }
                left -= static_cast<std::uint64_t>(got);
                const int code =
                    WriteAll(out, std::string_view(buffer.data(), static_cast<std::size_t>(got)));
                if (code != 0) {
                    return {std::strerror(code), code, true};
                }
                if (dieHalfway) {
                    std::raise(SIGKILL);  // part of the copy written
                }
            }
            return {};
        },
        why);
}

void PosixFileOps::NoteNamedIn(const std::string& folder) {
    if (std::find(namedIn_.rbegin(), namedIn_.rend(), folder) == namedIn_.rend()) {
        namedIn_.push_back(folder);
    }
}

// syncfs puts a whole file system's writes on the disk in one go, which a batch of many
// small copies needs once instead of an fsync each; the folders' fsync then keeps the names.
Status PosixFileOps::FlushNamedCopies() {
    std::vector<dev_t> synced;
    std::string failure;
    for (const std::string& folder : namedIn_) {
        const UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        struct stat info {};
        if (!fd.valid() || ::fstat(fd.get(), &info) != 0) {
            failure = folder + ": " + std::strerror(errno);
            continue;
        }
        if (std::find(synced.begin(), synced.end(), info.st_dev) == synced.end()) {
            if (::syncfs(fd.get()) != 0) {
                failure = folder + ": " + std::strerror(errno);
                continue;
            }
            synced.push_back(info.st_dev);
        }
        if (::fsync(fd.get()) != 0) {
            failure = folder + ": " + std::strerror(errno);
        }
    }
    namedIn_.clear();
    if (!failure.empty()) {
        return Fail("the copies could not be put on the disk: " + failure);
    }
    return Done{};
}

bool PosixFileOps::RemoveFile(const std::string& path, std::string& error) {
    if (confined_ && root_.empty()) {
        error = "no cache folder to remove " + path + " from";
        return false;
    }
    if (!confined_) {
        return RemoveWithin(path, root_, error);
    }
    // Within the folder as it was when the cache was found, whatever its path leads to now.
    const auto relative = heldRoot_ ? heldRoot_->Relative(path) : std::nullopt;
    if (!relative) {
        error = path + " lies outside the cache folder; left alone";
        return false;
    }
    Status removed = heldRoot_->StillThere();
    if (removed.ok()) {
        removed = heldRoot_->RemoveFile(*relative, path);
    }
    error = removed.error();
    return removed.ok();
}
}  // namespace pellimor
