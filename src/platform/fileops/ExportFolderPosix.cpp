#include "platform/fileops/ExportFolderPosix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/fileops/ConfinedFile.h"

namespace pellimor {

namespace {

// A segment that names one thing in its folder and nothing else.
bool PlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

bool PlainPath(const std::vector<std::string>& segments) {
    if (segments.empty()) {
        return false;
    }
    for (const std::string& s : segments) {
        if (!PlainName(s)) {
            return false;
        }
    }
    return true;
}

// The folder of segments[0 .. count) below root, opened without following links; made
// when create is set and it is missing.
UniqueFd OpenFolders(int root, const std::vector<std::string>& segments, std::size_t count,
                     bool create, std::string& why) {
    UniqueFd current(::fcntl(root, F_DUPFD_CLOEXEC, 0));
    for (std::size_t i = 0; i < count && current.valid(); ++i) {
        const char* name = segments[i].c_str();
        int fd = ::openat(current.get(), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0 && errno == ENOENT && create) {
            if (::mkdirat(current.get(), name, 0755) != 0 && errno != EEXIST) {
                why = segments[i] + ": " + std::strerror(errno);
                return UniqueFd();
            }
            fd = ::openat(current.get(), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        }
        if (fd < 0) {
            why =
                segments[i] + ": " +
                (errno == ELOOP || errno == ENOTDIR ? std::string("not a folder (a link or a file)")
                                                    : std::string(std::strerror(errno)));
            return UniqueFd();
        }
        current = UniqueFd(fd);
    }
    return current;
}

}  // namespace

Result<std::unique_ptr<ExportFolderPosix>> ExportFolderPosix::Open(const std::string& path) {
    if (path.empty()) {
        return Fail("no export folder given");
    }
    if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
        return Fail(path + ": " + std::strerror(errno));
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return Fail(path + ": " + (errno == ENOTDIR ? "not a folder" : std::strerror(errno)));
    }
    return std::unique_ptr<ExportFolderPosix>(new ExportFolderPosix(path, fd));
}

ExportFolderPosix::~ExportFolderPosix() {
    ::close(fd_);
}

CopyResult ExportFolderPosix::WriteNew(const std::vector<std::string>& segments,
                                       std::string_view bytes, std::string& why) {
    return WriteNewFrom(
        segments,
        [bytes](const ByteSink& sink) -> Status {
            (void)sink(bytes);
            return Done{};
        },
        why);
}

CopyResult ExportFolderPosix::WriteNewFrom(const std::vector<std::string>& segments,
                                           const std::function<Status(const ByteSink&)>& produce,
                                           std::string& why) {
    if (!PlainPath(segments)) {
        why = "not a name inside the export folder";
        return CopyResult::kFailed;
    }
    const UniqueFd folder = OpenFolders(fd_, segments, segments.size() - 1, true, why);
    if (!folder.valid()) {
        return CopyResult::kFailed;
    }
    const char* name = segments.back().c_str();
    UniqueFd out(
        ::openat(folder.get(), name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!out.valid()) {
        if (errno == EEXIST) {
            return CopyResult::kTargetExists;
        }
        why = segments.back() + ": " + std::strerror(errno);
        return CopyResult::kFailed;
    }
    int code = 0;
    const Status made = produce([&out, &code](std::string_view bytes) {
        for (std::size_t done = 0; done < bytes.size();) {
            const ssize_t n = ::write(out.get(), bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                code = n < 0 ? errno : ENOSPC;
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
        return true;
    });
    if (code != 0 || !made.ok()) {
        why = segments.back() + ": " + (code != 0 ? std::strerror(code) : made.error());
        ::unlinkat(folder.get(), name, 0);  // no partial file is left
        return CopyResult::kFailed;
    }
    if (::close(out.release()) != 0) {
        why = segments.back() + ": " + std::strerror(errno);
        ::unlinkat(folder.get(), name, 0);
        return CopyResult::kFailed;
    }
    return CopyResult::kCopied;
}

bool ExportFolderPosix::SameAs(const std::vector<std::string>& segments,
                               const std::function<Status(const ByteSink&)>& produce) {
    if (!PlainPath(segments)) {
        return false;
    }
    std::string why;
    const UniqueFd folder = OpenFolders(fd_, segments, segments.size() - 1, false, why);
    if (!folder.valid()) {
        return false;
    }
    const UniqueFd in(::openat(folder.get(), segments.back().c_str(),
                               O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (!in.valid() || ::fstat(in.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    std::vector<char> there;
    bool same = true;
    std::uint64_t compared = 0;
    const Status made = produce([&](std::string_view piece) {
        there.resize(piece.size());
        std::size_t done = 0;
        while (done < piece.size()) {
            const ssize_t n = ::read(in.get(), there.data() + done, piece.size() - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        same = done == piece.size() && std::equal(piece.begin(), piece.end(), there.begin());
        compared += piece.size();
        return same;
    });
    return made.ok() && same && compared == static_cast<std::uint64_t>(info.st_size);
}

std::optional<std::string> ExportFolderPosix::ReadExisting(const std::vector<std::string>& segments,
                                                           std::uint64_t limit) {
    if (!PlainPath(segments)) {
        return std::nullopt;
    }
    std::string why;
    const UniqueFd folder = OpenFolders(fd_, segments, segments.size() - 1, false, why);
    if (!folder.valid()) {
        return std::nullopt;
    }
    const UniqueFd in(::openat(folder.get(), segments.back().c_str(),
                               O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (!in.valid() || ::fstat(in.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<std::uint64_t>(info.st_size) > limit) {
        return std::nullopt;
    }
    std::string bytes(static_cast<std::size_t>(info.st_size), '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(in.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return std::nullopt;
        }
        done += static_cast<std::size_t>(n);
    }
    return bytes;
}

}  // namespace pellimor
