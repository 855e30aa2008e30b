#include "platform/fileops/FolderFile.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace pellimor {

Result<FolderFile> OpenInFolder(int folderFd, const std::string& name, const std::string& path) {
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") {
        return Fail(path + ": not a file name");
    }
    // The kind is checked before anything is opened for reading, so that no FIFO or device
    // is ever opened; the descriptor is then checked to be that very file.
    struct stat named {};
    if (::fstatat(folderFd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0) {
        return Fail(path + ": " + std::strerror(errno));
    }
    if (!S_ISREG(named.st_mode)) {
        return Fail(path + " is " + FileKindName(named.st_mode) + ", not a file of the cache");
    }
    UniqueFd fd(::openat(folderFd, name.c_str(),
                         O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat info {};
    if (!fd.valid() || ::fstat(fd.get(), &info) != 0) {
        return Fail(path + ": " + std::strerror(errno));
    }
    if (!S_ISREG(info.st_mode) || info.st_ino != named.st_ino || info.st_dev != named.st_dev) {
        return Fail(path + " changed while it was opened; left alone");
    }
    return FolderFile{std::move(fd), static_cast<std::uint64_t>(info.st_size),
                      static_cast<std::int64_t>(info.st_mtime)};
}

}  // namespace pellimor
