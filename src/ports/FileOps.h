// The file system as the core sees it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ports/ByteSink.h"
#include "ports/Result.h"

namespace pellimor {

constexpr std::uint32_t kAttributeReadOnly = 0x01;
constexpr std::uint32_t kAttributeHidden = 0x02;
constexpr std::uint32_t kAttributeDirectory = 0x10;
constexpr std::uint32_t kAttributeNormal = 0x80;
constexpr std::uint32_t kAttributeReparsePoint = 0x400;

struct FolderItem {
    std::string name;
    std::uint32_t attributes = 0;  // the bits above
    std::uint64_t created = 0;     // file times
    std::uint64_t lastWritten = 0;
    std::uint64_t size = 0;
};

// Identifies a folder on disk whatever path leads to it (device and inode here).
struct FolderIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FolderIdentity&) const = default;
};

// A copy written whole that no name leads to yet: a crash while it is written leaves no
// partial file under any name.
class PendingCopy {
  public:
    virtual ~PendingCopy() = default;  // a copy never named is dropped
    // Gives the copy the name to, which must not exist yet. A failure of kind kTargetExists
    // leaves the copy pending, so that the next name can be tried without copying again;
    // kTargetFolder says the target's folder cannot take files (missing, not writable, full).
    virtual Status NameAs(const std::string& to) = 0;
};

class FileOps {
  public:
    virtual ~FileOps() = default;
    // The size of an existing regular file that can be opened for reading.
    virtual Result<std::uint64_t> FileSize(const std::string& path) = 0;
    // The whole contents of a regular file, when it holds at most limit bytes.
    virtual Result<std::string> ReadFile(const std::string& path, std::uint64_t limit) = 0;
    // The contents of a regular file handed to sink in pieces, when it holds at most limit
    // bytes; how many bytes were handed on (fewer when sink stopped), or why none.
    virtual Result<std::uint64_t> StreamFile(const std::string& path, std::uint64_t limit,
                                             const ByteSink& sink) = 0;
    virtual bool Exists(const std::string& path) = 0;
    // Every entry of a folder except "." and "..", in the listing's order. The kind of every
    // entry is known; its times, size and read-only bit only where detailsFor says so, since
    // finding them costs a call per entry.
    virtual Result<std::vector<FolderItem>> ListFolder(
        const std::string& path, const std::function<bool(std::string_view)>& detailsFor) = 0;
    virtual Result<FolderIdentity> IdentifyFolder(const std::string& path) = 0;
    // The real path of the folder path leads to (every link resolved; path as given where
    // that cannot be done), or why path leads to no folder. Not confined: for the user's own
    // folders.
    virtual Result<std::string> RealPathOfFolder(const std::string& path) = 0;
    // A copy of the cached file from, or of bytes, written in folder without a name and not
    // yet flushed to the disk; a failure of kind kTargetFolder when folder cannot take files.
    virtual Result<std::unique_ptr<PendingCopy>> StageCopy(const std::string& from,
                                                           const std::string& folder) = 0;
    virtual Result<std::unique_ptr<PendingCopy>> StageBytes(std::string_view bytes,
                                                            const std::string& folder) = 0;
    // A copy of what produce hands to its sink, written piece by piece as it comes, so that
    // a body decoded on the way is never held whole; a failure of produce drops the copy.
    virtual Result<std::unique_ptr<PendingCopy>> StageStream(
        const std::function<Status(const ByteSink&)>& produce, const std::string& folder) = 0;
    // Puts every copy named since the last call on the disk, names included: one flush for a
    // whole batch of copies instead of one a file.
    virtual Status FlushNamedCopies() = 0;
    // Removes a regular file.
    virtual Status RemoveFile(const std::string& path) = 0;
};

}  // namespace pellimor
