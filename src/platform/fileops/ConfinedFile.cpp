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

bool ReadFully(int fd, std::uint8_t* data, std::size_t size, const std::string& path,
               std::string& error) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = ::read(fd, data + done, size - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            error = path + ": " + (got == 0 ? "shorter than its size" : std::strerror(errno));
            return false;
        }
        done += static_cast<std::size_t>(got);
    }
    return true;
}

// Opened with O_PATH: a FIFO does not block, a device is not opened.
std::optional<UniqueFd> InspectWithin(const std::string& path, const std::string& root,
                                      struct stat& info, std::string& error) {
    UniqueFd fd(::open(path.c_str(), O_PATH | O_CLOEXEC));
    if (!fd.valid()) {
        error = path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    if (::fstat(fd.get(), &info) != 0) {
        error = path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    if (!S_ISREG(info.st_mode)) {
        error = path + " is " + FileKindName(info.st_mode) + ", not a movie file";
        return std::nullopt;
    }
    if (!root.empty()) {
        const auto resolved = PathOfDescriptor(fd.get());
        if (!resolved || !IsWithin(*resolved, root)) {
            error = path + " leads outside the cache folder" +
                    (resolved ? " (to " + *resolved + ")" : std::string()) + "; left alone";
            return std::nullopt;
        }
    }
    return fd;
}

std::optional<OpenedFile> OpenWithin(const std::string& path, const std::string& root,
                                     std::string& error) {
    struct stat info {};
    const auto pathFd = InspectWithin(path, root, info, error);
    if (!pathFd) {
        return std::nullopt;
    }
    // Reopening through the checked descriptor reaches the same file, whatever the path
    // names by now.
    const std::string self = "/proc/self/fd/" + std::to_string(pathFd->get());
    UniqueFd fd(::open(self.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    struct stat opened {};
    if (!fd.valid() || ::fstat(fd.get(), &opened) != 0) {
        error = path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    if (opened.st_dev != info.st_dev || opened.st_ino != info.st_ino || !S_ISREG(opened.st_mode)) {
        error = path + " changed while it was opened; left alone";
        return std::nullopt;
    }
    return OpenedFile{std::move(fd), static_cast<std::uint64_t>(opened.st_size)};
}

std::optional<std::uint64_t> SizeWithin(const std::string& path, const std::string& root) {
    struct stat info {};
    std::string error;
    if (!InspectWithin(path, root, info, error)) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(info.st_size);
}

bool RemoveWithin(const std::string& path, const std::string& root, std::string& error) {
    const auto slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") {
        error = path + ": not a file name";
        return false;
    }
    const std::string folder = ParentFolder(path);
    UniqueFd dir(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!dir.valid()) {
        error = folder + ": " + std::strerror(errno);
        return false;
    }
    if (!root.empty()) {
        const auto resolved = PathOfDescriptor(dir.get());
        if (!resolved || !IsWithin(*resolved, root)) {
            error = path + " lies outside the cache folder; left alone";
            return false;
        }
    }
    struct stat info {};
    if (::fstatat(dir.get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = path +
                (S_ISLNK(info.st_mode) ? " is a link"
                                       : std::string(" is ") + FileKindName(info.st_mode)) +
                ", not a movie file; left alone";
        return false;
    }
    if (::unlinkat(dir.get(), name.c_str(), 0) != 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

std::optional<std::string> ReadWithin(const std::string& path, const std::string& root,
                                      std::uint64_t limit, std::string& error) {
    auto file = OpenWithin(path, root, error);
    if (!file) {
        return std::nullopt;
    }
    if (file->size > limit) {
        error = path + " is larger than " + std::to_string(limit) + " bytes";
        return std::nullopt;
    }
    std::string bytes(static_cast<std::size_t>(file->size), '\0');
    if (!ReadFully(file->fd.get(), reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size(),
                   path, error)) {
        return std::nullopt;
    }
    return bytes;
}

}  // namespace pellimor
