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
Result<UniqueFd> OpenFolders(int root, const std::vector<std::string>& segments, std::size_t count,
                             bool create) {
    UniqueFd current(::fcntl(root, F_DUPFD_CLOEXEC, 0));
    for (std::size_t i = 0; i < count && current.valid(); ++i) {
        const char* name = segments[i].c_str();
        int fd = ::openat(current.get(), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0 && errno == ENOENT && create) {
            if (::mkdirat(current.get(), name, 0755) != 0 && errno != EEXIST) {
                return Fail(segments[i] + ": " + std::strerror(errno));
            }
            fd = ::openat(current.get(), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        }
        if (fd < 0) {
            return Fail(segments[i] + ": " +
                        (errno == ELOOP || errno == ENOTDIR
                             ? std::string("not a folder (a link or a file)")
                             : std::string(std::strerror(errno))));
        }
        current = UniqueFd(fd);
    }
    if (!current.valid()) {
        return Fail("");  // no descriptor left to copy the folder's: said as a failed write
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

Status ExportFolderPosix::WriteNew(const std::vector<std::string>& segments,
                                   std::string_view bytes) {
    return WriteNewFrom(segments, [bytes](const ByteSink& sink) -> Status {
        (void)sink(bytes);
        return Done{};
    });
}

Status ExportFolderPosix::WriteNewFrom(const std::vector<std::string>& segments,
                                       const std::function<Status(const ByteSink&)>& produce) {
    if (!PlainPath(segments)) {
        return Fail("not a name inside the export folder");
    }
    const UniqueFd folder = PELLIMOR_TRY(OpenFolders(fd_, segments, segments.size() - 1, true));
    const char* name = segments.back().c_str();
    UniqueFd out(
        ::openat(folder.get(), name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!out.valid()) {
        if (errno == EEXIST) {
            return Fail(segments.back() + " is there already", FailureKind::kTargetExists);
        }
        return Fail(segments.back() + ": " + std::strerror(errno));
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
        ::unlinkat(folder.get(), name, 0);  // no partial file is left
        return Fail(segments.back() + ": " + (code != 0 ? std::strerror(code) : made.error()));
    }
    if (::close(out.release()) != 0) {
        const int closeCode = errno;
        ::unlinkat(folder.get(), name, 0);
        return Fail(segments.back() + ": " + std::strerror(closeCode));
    }
    return Done{};
}

Result<UniqueFd> ExportFolderPosix::OpenExisting(const std::vector<std::string>& segments,
                                                 struct stat& info) {
    if (!PlainPath(segments)) {
        return Fail("not a name inside the export folder");
    }
    const UniqueFd folder = PELLIMOR_TRY(OpenFolders(fd_, segments, segments.size() - 1, false));
    UniqueFd in(::openat(folder.get(), segments.back().c_str(),
                         O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!in.valid() || ::fstat(in.get(), &info) != 0) {
        return Fail(segments.back() + ": " + std::strerror(errno));
    }
    if (!S_ISREG(info.st_mode)) {
        return Fail(segments.back() + " is " + FileKindName(info.st_mode));
    }
    return in;
}

bool ExportFolderPosix::SameAs(const std::vector<std::string>& segments,
                               const std::function<Status(const ByteSink&)>& produce) {
    struct stat info {};
    const auto in = OpenExisting(segments, info);
    if (!in) {
        return false;
    }
    std::vector<char> there;
    bool same = true;
    std::uint64_t compared = 0;
    const Status made = produce([&](std::string_view piece) {
        there.resize(piece.size());
        std::size_t done = 0;
        while (done < piece.size()) {
            const ssize_t n = ::read(in->get(), there.data() + done, piece.size() - done);
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

Result<std::string> ExportFolderPosix::ReadExisting(const std::vector<std::string>& segments,
                                                    std::uint64_t limit) {
    struct stat info {};
    const UniqueFd in = PELLIMOR_TRY(OpenExisting(segments, info));
    if (static_cast<std::uint64_t>(info.st_size) > limit) {
        return Fail(segments.back() + " is larger than " + std::to_string(limit) + " bytes");
    }
    std::string bytes(static_cast<std::size_t>(info.st_size), '\0');
    PELLIMOR_TRY(ReadFully(in.get(), reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size(),
                           segments.back()));
    return bytes;
}

}  // namespace pellimor
