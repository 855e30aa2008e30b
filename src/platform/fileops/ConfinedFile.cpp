#include "platform/fileops/ConfinedFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/fileops/Paths.h"

namespace pellimor {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = other.release();
    }
    return *this;
}

UniqueFd::~UniqueFd() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

std::optional<std::string> ResolveFolder(const std::string& path) {
    if (path.empty()) {
        return std::nullopt;
    }
    char* real = ::realpath(path.c_str(), nullptr);
    if (real == nullptr) {
        return std::nullopt;
    }
    std::string resolved = real;
    std::free(real);
    struct stat info {};
    if (::stat(resolved.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return std::nullopt;
    }
    return resolved;
}

bool IsWithin(const std::string& resolved, const std::string& root) {
    if (root.empty() || root == "/") {
        return !resolved.empty() && resolved[0] == '/';
    }
    return resolved.size() >= root.size() && resolved.compare(0, root.size(), root) == 0 &&
           (resolved.size() == root.size() || resolved[root.size()] == '/');
}

std::optional<std::string> PathOfDescriptor(int fd) {
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    std::array<char, PATH_MAX + 1> buffer{};
    const ssize_t length = ::readlink(link.c_str(), buffer.data(), buffer.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size() || buffer[0] != '/') {
        return std::nullopt;  // no /proc, or a file with no name left
    }
    return std::string(buffer.data(), static_cast<std::size_t>(length));
}

const char* FileKindName(mode_t mode) {
    if (S_ISREG(mode)) {
        return "a file";
    }
    if (S_ISDIR(mode)) {
        return "a folder";
    }
    if (S_ISFIFO(mode)) {
        return "a FIFO";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "a device";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    if (S_ISLNK(mode)) {
        return "a link";
    }
    return "not a regular file";
}

Status ReadFully(int fd, std::uint8_t* data, std::size_t size, const std::string& path) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = ::read(fd, data + done, size - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return Fail(path + ": " + (got == 0 ? "shorter than its size" : std::strerror(errno)));
        }
        done += static_cast<std::size_t>(got);
    }
    return Done{};
}

// Opened with O_PATH: a FIFO does not block, a device is not opened.
Result<UniqueFd> InspectWithin(const std::string& path, const std::string& root,
                               struct stat& info) {
    UniqueFd fd(::open(path.c_str(), O_PATH | O_CLOEXEC));
    if (!fd.valid()) {
        return Fail(path + ": " + std::strerror(errno));
    }
    if (::fstat(fd.get(), &info) != 0) {
        return Fail(path + ": " + std::strerror(errno));
    }
    if (!S_ISREG(info.st_mode)) {
        return Fail(path + " is " + FileKindName(info.st_mode) + ", not a movie file");
    }
    if (!root.empty()) {
        const auto resolved = PathOfDescriptor(fd.get());
        if (!resolved || !IsWithin(*resolved, root)) {
            return Fail(path + " leads outside the cache folder" +
                        (resolved ? " (to " + *resolved + ")" : std::string()) + "; left alone");
        }
    }
    return fd;
}

Result<OpenedFile> OpenWithin(const std::string& path, const std::string& root) {
    struct stat info {};
    const UniqueFd pathFd = PELLIMOR_TRY(InspectWithin(path, root, info));
    // Reopening through the checked descriptor reaches the same file, whatever the path
    // names by now.
    const std::string self = "/proc/self/fd/" + std::to_string(pathFd.get());
    UniqueFd fd(::open(self.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    struct stat opened {};
    if (!fd.valid() || ::fstat(fd.get(), &opened) != 0) {
        return Fail(path + ": " + std::strerror(errno));
    }
    if (opened.st_dev != info.st_dev || opened.st_ino != info.st_ino || !S_ISREG(opened.st_mode)) {
        return Fail(path + " changed while it was opened; left alone");
    }
    return OpenedFile{std::move(fd), static_cast<std::uint64_t>(opened.st_size)};
}

Result<std::uint64_t> SizeWithin(const std::string& path, const std::string& root) {
    struct stat info {};
    PELLIMOR_TRY(InspectWithin(path, root, info));
    return static_cast<std::uint64_t>(info.st_size);
}

Status RemoveWithin(const std::string& path, const std::string& root) {
    const auto slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") {
        return Fail(path + ": not a file name");
    }
    const std::string folder = ParentFolder(path);
    UniqueFd dir(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!dir.valid()) {
        return Fail(folder + ": " + std::strerror(errno));
    }
    if (!root.empty()) {
        const auto resolved = PathOfDescriptor(dir.get());
        if (!resolved || !IsWithin(*resolved, root)) {
            return Fail(path + " lies outside the cache folder; left alone");
        }
    }
    struct stat info {};
    if (::fstatat(dir.get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return Fail(path + ": " + std::strerror(errno));
    }
    if (!S_ISREG(info.st_mode)) {
        return Fail(path +
                    (S_ISLNK(info.st_mode) ? " is a link"
                                           : std::string(" is ") + FileKindName(info.st_mode)) +
                    ", not a movie file; left alone");
    }
    if (::unlinkat(dir.get(), name.c_str(), 0) != 0) {
        return Fail(path + ": " + std::strerror(errno));
    }
    return Done{};
}

Result<std::string> ReadWithin(const std::string& path, const std::string& root,
                               std::uint64_t limit) {
    const OpenedFile file = PELLIMOR_TRY(OpenWithin(path, root));
    if (file.size > limit) {
        return Fail(path + " is larger than " + std::to_string(limit) + " bytes");
    }
    std::string bytes(static_cast<std::size_t>(file.size), '\0');
    PELLIMOR_TRY(ReadFully(file.fd.get(), reinterpret_cast<std::uint8_t*>(bytes.data()),
                           bytes.size(), path));
    return bytes;
}

}  // namespace pellimor
