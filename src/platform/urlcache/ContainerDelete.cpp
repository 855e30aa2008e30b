#include "platform/urlcache/ContainerDelete.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <set>
#include <unordered_map>

#include "platform/ByteReader.h"
#include "platform/fileops/AtomicFile.h"
#include "platform/fileops/ConfinedFile.h"
#include "platform/fileops/MappedFile.h"
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

constexpr std::string_view kTemporaryInfix = ".";
constexpr std::size_t kTemporarySuffixLength = 6;  // mkstemp's XXXXXX

bool IsTemporaryOf(std::string_view name, std::string_view index) {
    if (name.size() != index.size() + kTemporaryInfix.size() + kTemporarySuffixLength ||
        !name.starts_with(index) || name.substr(index.size(), 1) != kTemporaryInfix) {
        return false;
    }
    for (const char c : name.substr(index.size() + 1)) {
        if (!std::isalnum(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
}

std::string FileNameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Whether removing the file will fail the way Windows fails: a read-only file, or a folder
// that does not let us remove names.
bool RemovalDenied(const std::string& path, const struct stat& info) {
    return (info.st_mode & S_IWUSR) == 0 || ::access(ParentFolder(path).c_str(), W_OK) != 0;
}

// Reads the written copy back and checks it before it takes the index's place.
std::string VerifyWritten(const std::string& written) {
    std::string error;
    const auto file = MappedFile::Open(written, error);
    if (!file) {
        return error;
    }
    const auto view = indexdat::ContainerView::Open(file->bytes(), error);
    if (!view) {
        return error;
    }
    const auto problems = indexdat::CheckContainer(*view);
    if (!problems.empty()) {
        return problems.front();
    }
    // For the tests that kill a writer at its most delicate moment.
    if (std::getenv("PELLIMOR_TEST_KILL_BEFORE_RENAME") != nullptr) {
        std::raise(SIGKILL);
    }
    return {};
}

}  // namespace

std::uint64_t MaxContainerSize() {
    return indexdat::kBlocksStart +
           static_cast<std::uint64_t>(indexdat::kMaxBlocks) * indexdat::kBlockSize;
}

ContainerLock::ContainerLock(const std::string& folder)
    : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (fd_ < 0) {
        error_ = "cannot lock " + folder + ": " + std::strerror(errno);
        return;
    }
    while (::flock(fd_, LOCK_EX) != 0) {
        if (errno != EINTR) {
            error_ = "cannot lock " + folder + ": " + std::strerror(errno);
            ::close(fd_);
            fd_ = -1;
            return;
        }
    }
}

ContainerLock::~ContainerLock() {
    if (fd_ >= 0) {
        ::close(fd_);  // releases the lock
    }
}

void RemoveStaleTemporaries(const std::string& indexPath) {
    const std::string folder = ParentFolder(indexPath);
    const std::string index = FileNameOf(indexPath);
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return;
    }
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(dir)) {
        if (IsTemporaryOf(entry->d_name, index)) {
            stale.emplace_back(entry->d_name);
        }
    }
    for (const std::string& name : stale) {
        struct stat info {};
        if (::fstatat(::dirfd(dir), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode) && !ProcessHoldingFile(folder + "/" + name)) {
            ::unlinkat(::dirfd(dir), name.c_str(), 0);
        }
    }
    ::closedir(dir);
}

std::optional<std::vector<std::uint8_t>> ReadContainerForChange(const std::string& indexPath,
                                                                std::string& error) {
    auto file = OpenWithin(indexPath, "", error);
    if (!file) {
        return std::nullopt;
    }
    if (file->size > MaxContainerSize() || file->size < indexdat::kBlocksStart) {
        error = indexPath + " holds " + std::to_string(file->size) +
                " bytes, which no container can; left as it is";
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file->size));
    if (!ReadFully(file->fd.get(), bytes.data(), bytes.size(), indexPath, error)) {
        return std::nullopt;
    }
    const ByteReader reader(bytes);
    const auto recorded = reader.U32(indexdat::kFileSizeAt);
    if (!recorded || *recorded != bytes.size()) {
        error = indexPath + " records a size of " + std::to_string(recorded.value_or(0)) +
                " bytes but holds " + std::to_string(bytes.size()) + "; left as it is";
        return std::nullopt;
    }
    return bytes;
}

std::vector<Status> DeleteFromContainer(const ContainerLocation& container,
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
    const ContainerLock lock(container.folder);
    if (!lock.held()) {
        return failAll(lock.error());
    }
    RemoveStaleTemporaries(container.indexPath);
    std::string error;
    auto bytes = ReadContainerForChange(container.indexPath, error);
    if (!bytes) {
        return failAll(error);
    }
    auto image = indexdat::ContainerImage::FromBytes(std::move(*bytes), error);
    if (!image) {
        return failAll(container.indexPath + ": " + error);
    }
    if (const auto problems = indexdat::CheckContainer(image->View()); !problems.empty()) {
        return failAll(container.indexPath +
                       " is inconsistent, so it is left as it is: " + problems.front());
    }

    // Which records are live now, and what the chosen ones hold, read before anything
    // changes; only the chosen records are decoded.
    std::unordered_map<std::uint32_t, indexdat::HashItem> live;
    const std::string folder = ResolveFolder(container.folder).value_or("");
    struct Planned {
        std::size_t index = 0;
        indexdat::HashItem item;
        std::optional<std::string> removePath;
        bool keepAsLeak = false;
        bool pending = false;
    };
    std::vector<Planned> planned;
    {
        const indexdat::ContainerView view = image->View();
        // The hash items of the chosen records alone: reading every record of a large
        // container would cost more than the rewrite.
        std::set<std::uint32_t> wanted;
        for (const CacheEntryRef* ref : chosen) {
            wanted.insert(static_cast<std::uint32_t>(ref->id.locator));
        }
        view.ForEachHashItem([&](const indexdat::HashItem& item) {
            if (item.key != indexdat::kHashFree && item.key != indexdat::kHashDeleted &&
                wanted.count(item.recordOffset) != 0) {
                live.emplace(item.recordOffset, item);
            }
            return true;
        });
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
                (raw->url ? DecodeUrl(*raw->url, codePage) : std::string()) !=
                    ref.url.value_or("") ||
                localPath != ref.localFileName) {
                statuses[i] = Fail(
                    "the entry is no longer in the cache as it was listed; list the cache again");
                continue;
            }
            if (!seen.insert(found->first).second) {
                continue;  // chosen twice: deleted once
            }
            Planned plan{i, found->second, std::nullopt, false, raw->useCount > 0};
            if (!plan.pending && localPath && !folder.empty()) {
                // The file goes only when it is the one the record made (same write time)
                // and it lies inside the container's folder.
                struct stat info {};
                std::string ignored;
                if (InspectWithin(*localPath, folder, info, ignored) &&
                    DosTimeFromFileTime(FileTimeFromUnix(info.st_mtime, 0)) == raw->writeTimeDos) {
                    plan.keepAsLeak = RemovalDenied(*localPath, info);
                    if (!plan.keepAsLeak) {
                        plan.removePath = localPath;
                    }
                }
            }
            planned.push_back(std::move(plan));
        }
    }
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
    // Right before the rename: a program that has the index mapped would keep using the old
    // one and write it back over ours.
    if (const auto holder = ProcessHoldingFile(container.indexPath)) {
        return failAll(container.indexPath + " is in use by " + *holder +
                       "; close that program and try again");
    }
    if (!ReplaceFileAtomically(container.indexPath, image->bytes(), VerifyWritten, error)) {
        return failAll(error);
    }
    for (const Planned& plan : planned) {
        if (plan.pending) {
            statuses[plan.index] = Fail(
                "the entry is in use by a running program and will be deleted when it is released");
        } else if (plan.removePath && !RemoveWithin(*plan.removePath, folder, error)) {
            statuses[plan.index] = Fail("the entry was deleted but its file stays: " + error);
        }
    }
    return statuses;
}

}  // namespace pellimor
