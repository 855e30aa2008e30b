#include "platform/listing/SharedFiles.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace pellimor {

Result<FileIdentity> IdentityOf(int fd, const std::string& path) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        return Fail(path + ": " + std::strerror(errno));
    }
    return FileIdentity{static_cast<std::uint64_t>(info.st_dev),
                        static_cast<std::uint64_t>(info.st_ino),
                        static_cast<std::uint64_t>(info.st_nlink)};
}

std::optional<std::size_t> SharedFiles::Add(const FileIdentity& file, std::size_t index) {
    if (file.links <= 1) {
        return std::nullopt;
    }
    const auto [at, added] = seen_.try_emplace({file.device, file.inode}, index);
    if (added) {
        return std::nullopt;
    }
    return at->second;
}

}  // namespace pellimor
