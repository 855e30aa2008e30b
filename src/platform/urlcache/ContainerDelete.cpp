#include "platform/urlcache/ContainerDelete.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <set>
#include <thread>
#include <unordered_map>

#include "ground/ByteReader.h"
#include "platform/FaultHooks.h"
#include "platform/fileops/AtomicFile.h"
#include "platform/fileops/ConfinedFile.h"
#include "platform/fileops/Paths.h"
#include "platform/fileops/PosixFileOps.h"
#include "platform/fileops/ProcessScan.h"
#include "platform/urlcache/ContainerChecker.h"
#include "platform/urlcache/ContainerImage.h"
#include "platform/urlcache/DosTime.h"
#include "platform/urlcache/IndexDatFormat.h"
#include "platform/urlcache/RecordNames.h"

namespace pellimor {

namespace {

std::string FileNameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Whether removing the file will fail the way Windows fails: a read-only file, or a folder
// that does not let us remove names.
bool RemovalDenied(const HeldFolder& folder, const std::string& relative, const struct stat& info) {
    const std::size_t slash = relative.rfind('/');
    const std::string parent = slash == std::string::npos ? "." : relative.substr(0, slash);
    return (info.st_mode & S_IWUSR) == 0 || ::faccessat(folder.fd(), parent.c_str(), W_OK, 0) != 0;
}

// Reads the written copy back and checks it before it takes the index's place.
Status VerifyWritten(int fd, const std::string& path) {
    struct stat info {};
    if (::fstat(fd, &info) != 0 || info.st_size <= 0) {
        return Fail(path + ": nothing was written");
    }
    const auto size = static_cast<std::size_t>(info.st_size);
    void* data = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (data == MAP_FAILED) {
        return Fail(path + ": " + std::strerror(errno));
    }
    std::string problem;
    const auto view =
        indexdat::ContainerView::Open(std::span(static_cast<const std::uint8_t*>(data), size));
    if (!view) {
        problem = view.error();
    } else if (const auto problems = indexdat::CheckContainer(*view); !problems.empty()) {
        problem = problems.front();
    }
    ::munmap(data, size);
    if (!problem.empty()) {
        return Fail(problem);
    }
    // For the tests that kill a writer at its most delicate moment.
    if (fault::KillBeforeRename()) {
        std::raise(SIGKILL);
    }
    return Done{};
}

// Whether the file begins as every copy our writer makes begins: with a container's
// signature, or the part of it written before the writer was stopped.
bool StartsLikeAContainer(int fd, std::uint64_t size) {
    std::array<char, indexdat::kSignatureSize> start{};
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(size, indexdat::kSignatureSize));
    if (::pread(fd, start.data(), want, 0) != static_cast<ssize_t>(want)) {
        return false;
    }
    const std::string_view read(start.data(), want);
    return indexdat::kIeSignature.starts_with(read) || indexdat::kWineSignature.starts_with(read);
}

}  // namespace

std::uint64_t MaxContainerSize() {
    return indexdat::kBlocksStart +
           static_cast<std::uint64_t>(indexdat::kMaxBlocks) * indexdat::kBlockSize;
}

ContainerLock::ContainerLock(const HeldFolder& folder, std::chrono::milliseconds wait)
    : fd_(::openat(folder.fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (fd_ < 0) {
        error_ = "cannot lock " + folder.path() + ": " + std::strerror(errno);
        return;
    }
    const auto until = std::chrono::steady_clock::now() + wait;
    while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        const int why = errno;
        if (why == EINTR) {
            continue;
        }
        if (why == EWOULDBLOCK && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        if (why == EWOULDBLOCK) {
            struct stat info {};
            const auto holder = ::fstat(fd_, &info) == 0 ? ProcessLockingFile(info) : std::nullopt;
            error_ = folder.path() + " is being changed by " + holder.value_or("another program") +
                     ", which kept it for more than " + std::to_string(wait.count() / 1000) +
                     " seconds; try again when it is done";
        } else {
            error_ = "cannot lock " + folder.path() + ": " + std::strerror(why);
        }
        ::close(fd_);
        fd_ = -1;
        return;
    }
}

ContainerLock::~ContainerLock() {
    if (fd_ >= 0) {
        ::close(fd_);  // releases the lock
    }
}

void RemoveStaleTemporaries(const HeldFolder& folder, const std::string& indexName) {
    const auto names = folder.Names();
    if (!names) {
        return;
    }
    for (const std::string& name : *names) {
        if (!IsTemporaryNameOf(name, indexName)) {
            continue;
        }
        const auto file = folder.OpenFile(name);
        struct stat info {};
        if (!file || ::fstat(file->fd.get(), &info) != 0 || info.st_nlink != 1 ||
            info.st_uid != ::geteuid() || file->size > MaxContainerSize() ||
            !StartsLikeAContainer(file->fd.get(), file->size) || ProcessOpeningFile(info)) {
            continue;
        }
        struct stat now {};
        if (::fstatat(folder.fd(), name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
            now.st_dev == info.st_dev && now.st_ino == info.st_ino) {
            ::unlinkat(folder.fd(), name.c_str(), 0);
        }
    }
}

Result<std::vector<std::uint8_t>> ReadContainerForChange(const HeldFolder& folder,
                                                         const std::string& indexName,
                                                         struct stat& info) {
    const std::string indexPath = folder.path() + "/" + indexName;
    const auto file = PELLIMOR_TRY(folder.OpenFile(indexName));
    if (::fstat(file.fd.get(), &info) != 0) {
        return Fail(indexPath + ": " + std::strerror(errno));
    }
    if (file.size > MaxContainerSize() || file.size < indexdat::kBlocksStart) {
        return Fail(indexPath + " holds " + std::to_string(file.size) +
                    " bytes, which no container can; left as it is");
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file.size));
    PELLIMOR_TRY(ReadFully(file.fd.get(), bytes.data(), bytes.size(), indexPath));
    const ByteReader reader(bytes);
    const auto recorded = reader.U32(indexdat::kFileSizeAt);
    if (!recorded || *recorded != bytes.size()) {
        return Fail(indexPath + " records a size of " + std::to_string(recorded.value_or(0)) +
                    " bytes but holds " + std::to_string(bytes.size()) + "; left as it is");
    }
    return bytes;
}

namespace {

// What deleting one chosen record does, planned before anything changes.
struct Planned {
    std::size_t index = 0;
    indexdat::HashItem item;
    std::optional<std::string> removePath;  // the file's path below the folder
    std::string fullPath;
    std::string kept;  // why the record's file stays
    bool keepAsLeak = false;
    bool pending = false;
};

// The file goes only when it is the one the record made (same write time), a regular file
// within the container's folder; otherwise plan says why it stays.
void PlanFile(Planned& plan, const HeldFolder& folder, const std::optional<std::string>& localPath,
              std::uint32_t writeTimeDos) {
    const auto relative = localPath ? folder.Relative(*localPath) : std::nullopt;
    auto info = relative ? folder.Inspect(*relative) : Result<struct stat>(Fail(""));
    if (plan.pending || !info.ok()) {
        return;
    }
    const std::string its = "its file " + plan.fullPath + " stays: ";
    if (!S_ISREG(info->st_mode)) {
        plan.kept = its + "it is " + FileKindName(info->st_mode) + ", not the entry's own file";
    } else if (DosTimeFromFileTime(FileTimeFromUnix(info->st_mtime, 0)) != writeTimeDos) {
        plan.kept = its +
                    "its time no longer matches the entry's, so it may be "
                    "another file of that name";
    } else if (RemovalDenied(folder, *relative, *info)) {
        plan.keepAsLeak = true;
        plan.kept =
            its + ((info->st_mode & S_IWUSR) == 0 ? "it is read-only"
                                                  : "its folder does not let it be removed");
    } else {
        plan.removePath = relative;
    }
}

// The chosen records still in the container as they were listed, each once; statuses say
// which are not.
std::vector<Planned> PlanDeletes(const indexdat::ContainerView& view,
                                 const ContainerLocation& container, const HeldFolder& folder,
                                 const std::vector<const CacheEntryRef*>& chosen, int codePage,
                                 std::vector<Status>& statuses) {
    // The hash items of the chosen records alone: reading every record of a large container
    // would cost more than the rewrite.
    std::unordered_map<std::uint32_t, indexdat::HashItem> live;
    std::set<std::uint32_t> wanted;
    for (const CacheEntryRef* ref : chosen) {
        wanted.insert(static_cast<std::uint32_t>(ref->id.locator));
    }
    // The chain was checked whole before.
    (void)view.ForEachHashItem([&](const indexdat::HashItem& item) {
        if (item.key != indexdat::kHashFree && item.key != indexdat::kHashDeleted &&
            wanted.count(item.recordOffset) != 0) {
            live.emplace(item.recordOffset, item);
        }
        return true;
    });
    std::vector<Planned> planned;
    std::set<std::uint32_t> seen;
    for (std::size_t i = 0; i < chosen.size(); ++i) {
        const CacheEntryRef& ref = *chosen[i];
        const auto found = ref.id.locator > UINT32_MAX
                               ? live.end()
                               : live.find(static_cast<std::uint32_t>(ref.id.locator));
        const auto raw = found == live.end() ? std::nullopt : view.ReadUrlRecord(found->first);
        std::optional<std::string> localPath;
        if (raw) {
            localPath = LocalPathOf(view, *raw, container.folder, codePage);
        }
        if (!raw || raw->signature != indexdat::kUrlSignature ||
            (raw->url ? DecodeUrl(*raw->url, codePage) : std::string()) != ref.url.value_or("") ||
            localPath != ref.localFileName) {
            statuses[i] =
                Fail("the entry is no longer in the cache as it was listed; list the cache again");
            continue;
        }
        if (!seen.insert(found->first).second) {
            continue;  // chosen twice: deleted once
        }
        Planned plan{i,  found->second, std::nullopt,     localPath.value_or(""),
                     {}, false,         raw->useCount > 0};
        PlanFile(plan, folder, localPath, raw->writeTimeDos);
        planned.push_back(std::move(plan));
    }
    return planned;
}

// After the container is replaced: the records' files go, and statuses say what stayed.
void RemoveFiles(const std::vector<Planned>& planned, const HeldFolder& folder,
                 std::vector<Status>& statuses) {
    for (const Planned& plan : planned) {
        if (plan.pending) {
            statuses[plan.index] = Fail(
                "the entry is in use by a running program and will be deleted when it is released");
        } else if (plan.removePath) {
            if (const Status removed = folder.RemoveFile(*plan.removePath, plan.fullPath);
                !removed.ok()) {
                statuses[plan.index] = Status::DoneWithNote(
                    "its file stays: it could not be removed: " + removed.error());
            }
        } else if (!plan.kept.empty()) {
            statuses[plan.index] = Status::DoneWithNote(plan.kept);
        }
    }
}

}  // namespace

std::vector<Status> DeleteFromContainer(const ContainerLocation& container,
                                        const HeldFolder& folder,
                                        const std::vector<const CacheEntryRef*>& chosen,
                                        int codePage) {
    std::vector<Status> statuses(chosen.size());
    const auto failAll = [&statuses](const std::string& text) {
        for (Status& status : statuses) {
            if (status.ok()) {
                status = Fail(text);
            }
        }
        return statuses;
    };
    if (const Status there = folder.StillThere(); !there.ok()) {
        return failAll(there.error());
    }
    const ContainerLock lock(folder);
    if (!lock.held()) {
        return failAll(lock.error());
    }
    const std::string indexName = FileNameOf(container.indexPath);
    RemoveStaleTemporaries(folder, indexName);
    struct stat indexInfo {};
    auto bytes = ReadContainerForChange(folder, indexName, indexInfo);
    if (!bytes) {
        return failAll(bytes.error());
    }
    auto image = indexdat::ContainerImage::FromBytes(std::move(*bytes));
    if (!image) {
        return failAll(container.indexPath + ": " + image.error());
    }
    if (const auto problems = indexdat::CheckContainer(image->View()); !problems.empty()) {
        return failAll(container.indexPath +
                       " is inconsistent, so it is left as it is: " + problems.front());
    }

    // Which records are live now, and what the chosen ones hold, read before anything
    // changes; only the chosen records are decoded.
    const std::vector<Planned> planned =
        PlanDeletes(image->View(), container, folder, chosen, codePage, statuses);
    for (const Planned& plan : planned) {
        if (plan.pending) {
            image->MarkPendingDelete(plan.item.recordOffset);
        } else {
            image->DeleteUrl(plan.item, plan.keepAsLeak);
        }
    }
    if (planned.empty()) {
        return statuses;
    }
    // Right before the rename: a program that could write the index (a shared writable
    // mapping, a descriptor open for writing) would keep using the old one and write it back
    // over ours. Programs that only read it are no danger; our own take turns by the lock.
    if (const auto holder = ProcessWritingFile(indexInfo)) {
        return failAll(container.indexPath + " is in use by " + *holder +
                       "; close that program and try again");
    }
    if (const Status replaced =
            ReplaceInFolder(folder.fd(), folder.path(), indexName, image->bytes(), VerifyWritten);
        !replaced) {
        return failAll(replaced.error());
    }
    RemoveFiles(planned, folder, statuses);
    return statuses;
}

}  // namespace pellimor
