// Deleting chosen records from one container: one read, one check and one rewrite for all of
// them, under a lock that every process of this program takes before changing the container.
#pragma once

#include <sys/stat.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/fileops/HeldFolder.h"
#include "platform/urlcache/IndexDatCache.h"
#include "ports/CacheSource.h"

namespace pellimor {

// The largest container the format can describe: the header and bitmap, then one block for
// each bit of the bitmap. A larger file is not a container, whatever its header says.
std::uint64_t MaxContainerSize();

// An exclusive advisory lock on a container's folder, held while the object lives. The
// folder, not the index file, is locked: the index is replaced by a rename, and a lock on
// the replaced file would not be seen by the next writer. Another of our processes holds
// it for the few milliseconds of a rewrite, so a delete waits its turn, up to wait; after
// that, error names the process holding it.
class ContainerLock {
  public:
    static constexpr std::chrono::milliseconds kWait{5000};
    explicit ContainerLock(const HeldFolder& folder, std::chrono::milliseconds wait = kWait);
    ~ContainerLock();
    ContainerLock(const ContainerLock&) = delete;
    ContainerLock& operator=(const ContainerLock&) = delete;

    bool held() const { return fd_ >= 0; }
    const std::string& error() const { return error_; }

  private:
    int fd_ = -1;
    std::string error_;
};

// Removes the temporary copies of the index named indexName in folder that a writer killed
// before its rename left: only files that are ours by more than their name (our writer's
// name, a regular file of ours no bigger than a container, holding a container's start, and
// that no running process has open or mapped). Only under the lock.
void RemoveStaleTemporaries(const HeldFolder& folder, const std::string& indexName);

// The container's bytes for changing, when the file is a regular file (not a link) whose
// size is the one its header records and that the format allows. info receives the file's
// facts.
Result<std::vector<std::uint8_t>> ReadContainerForChange(const HeldFolder& folder,
                                                         const std::string& indexName,
                                                         struct stat& info);

// Deletes the chosen records of container (all refs name it), its folder held since it was
// listed, one status for each. A record deleted whose file stays is done, with a note why.
std::vector<Status> DeleteFromContainer(const ContainerLocation& container,
                                        const HeldFolder& folder,
                                        const std::vector<const CacheEntryRef*>& chosen,
                                        int codePage);

}  // namespace pellimor
