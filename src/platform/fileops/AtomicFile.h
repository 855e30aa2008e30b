// Replacing a file so that a reader sees the old or the new contents, never a mixture.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "ports/Result.h"

namespace pellimor {

// Writes bytes to a temporary file beside path, flushes it, lets verify read it back
// (a failure says what is wrong), then renames it over path. On any failure path is
// unchanged and the temporary file is removed.
Status ReplaceFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes,
                             const std::function<Status(const std::string&)>& verify);

// The same within an open folder (folderText names it in messages): the temporary file is
// made, checked and renamed relative to folderFd, whatever its path names by now. verify is
// given the temporary file open for reading and writing, and its path for messages.
Status ReplaceInFolder(int folderFd, const std::string& folderText, const std::string& name,
                       std::span<const std::uint8_t> bytes,
                       const std::function<Status(int fd, const std::string& path)>& verify);

// Whether name is one of the temporary files that a replacement of file leaves when it is
// killed before its rename: "<file>.pellimor-<12 letters or digits>.tmp", a name nobody
// gives a file of their own.
bool IsTemporaryNameOf(std::string_view name, std::string_view file);

}  // namespace pellimor
