// The file system of this machine.
#pragma once

#include "platform/FileOps.h"

namespace pellimor {

class PosixFileOps : public FileOps {
  public:
    std::optional<std::uint64_t> FileSize(const std::string& path) override;
    bool Exists(const std::string& path) override;
    std::optional<std::vector<FolderItem>> ListFolder(
        const std::string& path, const std::function<bool(std::string_view)>& detailsFor) override;
    std::optional<FolderIdentity> IdentifyFolder(const std::string& path) override;
    CopyResult CopyExclusive(const std::string& from, const std::string& to) override;
    bool RemoveFile(const std::string& path) override;
};

// A time of the file system as a file time (100 ns ticks since 1601).
std::uint64_t FileTimeFromUnix(long long seconds, long nanoseconds);

}  // namespace pellimor
