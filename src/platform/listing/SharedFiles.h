// Entry files that are one file under several names (hard links). A browser never links its
// entry files; a crafted cache does, to make one stored key fill a listing many times over.
// Only files with more than one name are remembered, so a real cache costs nothing here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>

#include "ports/Result.h"

namespace pellimor {

struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t links = 1;
};

// The identity of the file open on fd; path names it in messages.
Result<FileIdentity> IdentityOf(int fd, const std::string& path);

class SharedFiles {
  public:
    // Notes file under index (the caller's number for it); when the same file was noted
    // before, the index it was noted under.
    std::optional<std::size_t> Add(const FileIdentity& file, std::size_t index);

  private:
    std::map<std::pair<std::uint64_t, std::uint64_t>, std::size_t> seen_;
};

}  // namespace pellimor
