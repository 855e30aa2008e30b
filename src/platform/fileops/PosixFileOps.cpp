// Copies staged without a name and named without replacing anything, flushed in batches.
#include "platform/fileops/PosixFileOps.h"

#include "platform/FaultHooks.h"
#include "platform/fileops/ConfinedFile.h"
#include "platform/fileops/Paths.h"

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

namespace {

// Errors that every file in the target's folder would meet, not just this one.
bool FolderCannotTakeFiles(int code) {
    return code == ENOENT || code == ENOTDIR || code == EACCES || code == EPERM || code == EROFS ||
           code == ENOSPC || code == EDQUOT;
}

// The failure kind of a system error met in the target's folder.
FailureKind KindOf(int code) {
    if (code == EEXIST) {
        return FailureKind::kTargetExists;
    }
    return FolderCannotTakeFiles(code) ? FailureKind::kTargetFolder : FailureKind::kOther;
}

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

    Status NameAs(const std::string& to) override {
        if (named_) {
            return Fail("the copy has a name already");
        }
        const std::string from =
            temporary_.empty() ? "/proc/self/fd/" + std::to_string(fd_.get()) : temporary_;
        if (::linkat(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), AT_SYMLINK_FOLLOW) != 0) {
            const int code = errno;
            return Fail(std::strerror(code), KindOf(code));
        }
        named_ = true;
        if (!temporary_.empty()) {
            ::unlink(temporary_.c_str());
        }
        owner_.NoteNamedIn(ParentFolder(to));
        return Done{};
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
Result<std::unique_ptr<PendingCopy>> PosixFileOps::Stage(
    const std::string& folder, const std::function<WriteFailure(int)>& write) {
    UniqueFd out;
    std::string temporary;
    if (const int code = OpenUnnamed(folder, out, temporary); code != 0) {
        return Fail(std::strerror(code),
                    FolderCannotTakeFiles(code) ? FailureKind::kTargetFolder : FailureKind::kOther);
    }
    const int fd = out.get();
    auto copy = std::make_unique<PosixPendingCopy>(*this, std::move(out), std::move(temporary));
    const WriteFailure failure = write(fd);
    if (!failure.reason.empty()) {
        // The copy goes with its file, which no name leads to.
        return Fail(failure.reason, failure.targetSide && FolderCannotTakeFiles(failure.code)
                                        ? FailureKind::kTargetFolder
                                        : FailureKind::kOther);
    }
    return std::unique_ptr<PendingCopy>(std::move(copy));
}

Result<std::unique_ptr<PendingCopy>> PosixFileOps::StageBytes(std::string_view bytes,
                                                              const std::string& folder) {
    return Stage(folder, [bytes](int out) {
        const int code = WriteAll(out, bytes);
        return code == 0 ? WriteFailure{} : WriteFailure{std::strerror(code), code, true};
    });
}

Result<std::unique_ptr<PendingCopy>> PosixFileOps::StageStream(
    const std::function<Status(const ByteSink&)>& produce, const std::string& folder) {
    return Stage(folder, [&produce](int out) -> WriteFailure {
        int code = 0;
        const Status made = produce([out, &code](std::string_view piece) {
            code = WriteAll(out, piece);
            return code == 0;
        });
        if (code != 0) {
            return {std::strerror(code), code, true};
        }
        return made.ok() ? WriteFailure{} : WriteFailure{made.error(), 0, false};
    });
}

Result<std::unique_ptr<PendingCopy>> PosixFileOps::StageCopy(const std::string& from,
                                                             const std::string& folder) {
    if (confined_ && root_.empty()) {
        return Fail("no cache folder to copy " + from + " from");
    }
    const auto in = OpenWithin(from, root_);
    if (!in) {
        return in.failure();
    }
    const bool dieHalfway = ++copiesStaged_ == fault::KillInCopy();
    return Stage(folder, [&in, dieHalfway](int out) -> WriteFailure {
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
    });
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

}  // namespace pellimor
