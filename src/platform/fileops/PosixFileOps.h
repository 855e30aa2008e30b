// The file system of this machine.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fileops/ConfinedFile.h"
#include "platform/fileops/HeldFolder.h"
#include "ports/FileOps.h"

struct dirent;

namespace pellimor {

class PosixFileOps : public FileOps {
  public:
    // Confines every read, copy source, removal and folder listing to the folder root and
    // what lies below it once links are resolved: the cache folder, which may have come off
    // a stranger's disk. Without a root, only regular files are read, copied or removed.
    // False when root is not a folder (nothing is then allowed).
    bool ConfineTo(const std::string& root);
    const std::string& root() const { return root_; }

    Result<std::uint64_t> FileSize(const std::string& path) override;
    Result<std::string> ReadFile(const std::string& path, std::uint64_t limit) override;
    Result<std::uint64_t> StreamFile(const std::string& path, std::uint64_t limit,
                                     const ByteSink& sink) override;
    bool Exists(const std::string& path) override;
    Result<std::vector<FolderItem>> ListFolder(
        const std::string& path, const std::function<bool(std::string_view)>& detailsFor) override;
    Result<FolderIdentity> IdentifyFolder(const std::string& path) override;
    Result<std::string> RealPathOfFolder(const std::string& path) override;
    Result<std::unique_ptr<PendingCopy>> StageCopy(const std::string& from,
                                                   const std::string& folder) override;
    Result<std::unique_ptr<PendingCopy>> StageBytes(std::string_view bytes,
                                                    const std::string& folder) override;
    Result<std::unique_ptr<PendingCopy>> StageStream(
        const std::function<Status(const ByteSink&)>& produce, const std::string& folder) override;
    Status FlushNamedCopies() override;
    Status RemoveFile(const std::string& path) override;
    // For a pending copy that was given its name: its folder is flushed with the batch.
    void NoteNamedIn(const std::string& folder);

  private:
    struct OpenFolder {
        std::string path;  // the path text that led there
        UniqueFd fd;       // opened without access to its contents
        bool within = false;
    };
    // The folder opened, remembered by its path text; nothing when it cannot be opened.
    OpenFolder* FolderOf(std::string_view folder);
    void ForgetFolder(const OpenFolder* folder);
    struct WriteFailure {
        std::string reason;       // empty: none
        int code = 0;             // the system's error, or 0
        bool targetSide = false;  // in writing the copy, not in reading its source
    };
    Result<std::unique_ptr<PendingCopy>> Stage(const std::string& folder,
                                               const std::function<WriteFailure(int)>& write);
    // The size of the file path leads to when it is a link, checked where it leads.
    Result<std::uint64_t> SizeThroughLink(const std::string& path);
    // A folder's entry as listed, or nothing when it is left out of the listing.
    std::optional<FolderItem> ListedItem(int dirFd, const std::string& path, const dirent& entry,
                                         const std::function<bool(std::string_view)>& detailsFor);

    std::string root_;  // resolved; empty: not confined
    // The root held since it was confined to: removals go within it.
    std::optional<HeldFolder> heldRoot_;
    bool confined_ = false;
    std::vector<OpenFolder> openFolders_;
    std::vector<std::string> namedIn_;  // folders given copies since the last flush
    int failureCode_ = 0;               // the system's error of the last staged write
    long copiesStaged_ = 0;
};

// A time of the file system as a file time (100 ns ticks since 1601).
std::uint64_t FileTimeFromUnix(long long seconds, long nanoseconds);

}  // namespace pellimor
