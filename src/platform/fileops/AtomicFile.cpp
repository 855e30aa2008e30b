#include "platform/fileops/AtomicFile.h"

#include "platform/fileops/Paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace pellimor {

namespace {

bool WriteAll(int fd, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return true;
}

}  // namespace

bool ReplaceFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes,
                           const std::function<std::string(const std::string&)>& verify,
                           std::string& error) {
    std::string temp = path + ".XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        error = "cannot create a temporary file beside " + path + ": " + std::strerror(errno);
        return false;
    }
    temp = name.data();
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0) {
        ::fchmod(fd, old.st_mode & 07777);  // keep the file's permissions
    } else {
        ::fchmod(fd, 0644);
    }
    const bool written = WriteAll(fd, bytes) && ::fsync(fd) == 0;
    const int writeErrno = errno;
    ::close(fd);
    if (!written) {
        ::unlink(temp.c_str());
        error = "cannot write " + temp + ": " + std::strerror(writeErrno);
        return false;
    }
    if (verify) {
        const std::string problem = verify(temp);
        if (!problem.empty()) {
            ::unlink(temp.c_str());
            error = "the new contents of " + path + " failed their check: " + problem;
            return false;
        }
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        error = "cannot replace " + path + ": " + std::strerror(errno);
        ::unlink(temp.c_str());
        return false;
    }
    const int dir = ::open(ParentFolder(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

}  // namespace pellimor
