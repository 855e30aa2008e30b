// Files directly inside a folder opened once: the entry files of a browser cache, where
// resolving the path of each of a hundred thousand files would cost more than reading it.
#pragma once

#include <cstdint>
#include <string>

#include "platform/fileops/ConfinedFile.h"
#include "ports/Result.h"

namespace pellimor {

struct FolderFile {
    UniqueFd fd;
    std::uint64_t size = 0;
    std::int64_t modified = 0;  // Unix time
};

// Opens name, a file directly inside the folder open on folderFd, for reading. No link is
// followed, so the file lies in the folder; its kind is looked at before it is opened, so
// no FIFO or device is ever opened, and the descriptor is checked to be that very file.
Result<FolderFile> OpenInFolder(int folderFd, const std::string& name, const std::string& path);

}  // namespace pellimor
