// The file system of this machine.
#pragma once

#include <string>
#include <unordered_map>

#include "ports/FileOps.h"

namespace pellimor {

class PosixFileOps : public FileOps {
  public:
    // Confines every read, copy source, removal and folder listing to the folder root and
    // what lies below it once links are resolved: the cache folder, which may have come off
    // a stranger's disk. Without a root, only regular files are read, copied or removed.
    // False when root is not a folder (nothing is then allowed).
    bool ConfineTo(const std::string& root);
    const std::string& root() const { return root_; }

    std::optional<std::uint64_t> FileSize(const std::string& path) override;
    std::optional<std::string> ReadFile(const std::string& path, std::uint64_t limit,
                                        std::string& error) override;
    bool Exists(const std::string& path) override;
    std::optional<std::vector<FolderItem>> ListFolder(
        const std::string& path, const std::function<bool(std::string_view)>& detailsFor) override;
    std::optional<FolderIdentity> IdentifyFolder(const std::string& path) override;
    CopyResult WriteExclusive(const std::string& to, std::string_view bytes,
                              CopyFailure* why = nullptr) override;
    CopyResult CopyExclusive(const std::string& from, const std::string& to,
                             CopyFailure* why = nullptr) override;
    bool RemoveFile(const std::string& path, std::string& error) override;

  private:
    bool FolderWithinRoot(const std::string& folder);

    std::string root_;  // resolved; empty: not confined
    bool confined_ = false;
    std::unordered_map<std::string, bool> foldersWithin_;  // by the path text that led there
};

// A time of the file system as a file time (100 ns ticks since 1601).
std::uint64_t FileTimeFromUnix(long long seconds, long nanoseconds);

}  // namespace pellimor
