// Files taken from a cache that may come off a stranger's disk. Every file read, copied or
// removed must be a regular file that lies, once links are resolved, inside the cache folder;
// this is checked on an opened descriptor, never on the path text, so a link, a FIFO or a
// device put in the cache cannot lead a read or a removal anywhere else.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <optional>
#include <string>

#include "ports/Result.h"

namespace pellimor {

// A file descriptor closed when it goes.
class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd();

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

  private:
    int fd_ = -1;
};

// What a file of this mode is, for messages: "a folder", "a FIFO", "a device" ...
const char* FileKindName(mode_t mode);

// Reads exactly size bytes; a failure naming path when fewer come.
Status ReadFully(int fd, std::uint8_t* data, std::size_t size, const std::string& path);

// The real path of a folder (every link resolved), or nothing when path is not a folder.
std::optional<std::string> ResolveFolder(const std::string& path);

// Whether resolved (a real path) is root itself or lies below it. An empty root allows all.
bool IsWithin(const std::string& resolved, const std::string& root);

// Where an open descriptor leads: the real path of its file.
std::optional<std::string> PathOfDescriptor(int fd);

struct OpenedFile {
    UniqueFd fd;
    std::uint64_t size = 0;
};

// Opens path for reading when it leads, links followed, to a regular file within root (a
// resolved folder; empty: anywhere). The path is first opened without access to the
// contents, checked on that descriptor, and only then opened for reading through it, so
// nothing ever waits on a FIFO or reads a device.
Result<OpenedFile> OpenWithin(const std::string& path, const std::string& root);

// The path opened without access to its contents, with its facts, when it leads to a
// regular file within root.
Result<UniqueFd> InspectWithin(const std::string& path, const std::string& root, struct stat& info);

// The size of the regular file path leads to within root, checked as OpenWithin checks it.
Result<std::uint64_t> SizeWithin(const std::string& path, const std::string& root);

// Removes path when it is a regular file itself (not a link) in a folder that lies within
// root once resolved; the removal goes through that folder's descriptor.
Status RemoveWithin(const std::string& path, const std::string& root);

// Reads a whole regular file within root, refusing one larger than limit bytes.
Result<std::string> ReadWithin(const std::string& path, const std::string& root,
                               std::uint64_t limit);

}  // namespace pellimor
