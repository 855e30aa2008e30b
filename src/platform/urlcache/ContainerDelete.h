// Deleting chosen records from one container: one read, one check and one rewrite for all of
// them, under a lock that every process of this program takes before changing the container.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/urlcache/IndexDatCache.h"
#include "ports/CacheSource.h"

namespace pellimor {

// The largest container the format can describe: the header and bitmap, then one block for
// each bit of the bitmap. A larger file is not a container, whatever its header says.
std::uint64_t MaxContainerSize();

// An exclusive advisory lock on a container's folder, held while the object lives. The
// folder, not the index file, is locked: the index is replaced by a rename, and a lock on
// the replaced file would not be seen by the next writer.
class ContainerLock {
  public:
    explicit ContainerLock(const std::string& folder);
    ~ContainerLock();
    ContainerLock(const ContainerLock&) = delete;
    ContainerLock& operator=(const ContainerLock&) = delete;

    bool held() const { return fd_ >= 0; }
    const std::string& error() const { return error_; }

  private:
    int fd_ = -1;
    std::string error_;
};

// Removes the temporary copies ("index.dat.XXXXXX") that a writer killed before its rename
// left beside indexPath and that no running process holds. Only under the lock.
void RemoveStaleTemporaries(const std::string& indexPath);

// The container's bytes for changing, when the file is a regular file whose size is the one
// its header records and that the format allows; error says why not.
std::optional<std::vector<std::uint8_t>> ReadContainerForChange(const std::string& indexPath,
                                                                std::string& error);

// Deletes the chosen records of container (all refs name it), one status for each.
std::vector<Status> DeleteFromContainer(const ContainerLocation& container,
                                        const std::vector<const CacheEntryRef*>& chosen,
                                        int codePage);

}  // namespace pellimor
