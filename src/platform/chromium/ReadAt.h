// Reads of a byte range of an open file, for the Chromium readers, which look at a few
// places of large files rather than reading them whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "platform/fileops/ConfinedFile.h"
#include "ports/Result.h"

namespace pellimor::chromium {

// Up to length bytes from offset; fewer when the file ends first.
Result<std::string> ReadAt(int fd, std::uint64_t offset, std::size_t length,
                           const std::string& path);

struct FolderFile {
    UniqueFd fd;
    std::uint64_t size = 0;
    std::int64_t modified = 0;  // Unix time
};

// Opens name, a file directly inside the folder open on folderFd, for reading. No link is
// followed, so the file lies in the folder; and only a regular file is opened for its
// contents, after a check on a descriptor that gives no access to them (a FIFO or a device
// is never opened). Cheaper than resolving the path of every entry of a large folder.
Result<FolderFile> OpenInFolder(int folderFd, const std::string& name, const std::string& path);

inline std::span<const std::uint8_t> AsBytes(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

}  // namespace pellimor::chromium
