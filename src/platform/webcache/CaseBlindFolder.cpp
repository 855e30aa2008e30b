#include "platform/webcache/CaseBlindFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "ground/AsciiText.h"

namespace pellimor::webcache {

namespace {

// A cache folder holds a few thousand files; a stranger's may claim millions.
constexpr std::size_t kMostNames = 200'000;

std::string Why(const std::string& path, const char* what) {
    return path + ": " + what + ": " + std::strerror(errno);
}

}  // namespace

CaseBlindFolder::CaseBlindFolder(UniqueFd fd, std::string path)
    : fd_(std::move(fd)), path_(std::move(path)) {
    const int copy = ::dup(fd_.get());
    if (copy < 0) {
        return;
    }
    DIR* dir = ::fdopendir(copy);
    if (dir == nullptr) {
        ::close(copy);
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        if (names_.size() >= kMostNames) {
            break;
        }
        names_.push_back(name);
    }
    ::closedir(dir);
    std::sort(names_.begin(), names_.end());  // the same choice among names every time
    for (std::size_t i = 0; i < names_.size(); ++i) {
        lowered_.emplace(LoweredAscii(names_[i]), i);
    }
}

Result<CaseBlindFolder> CaseBlindFolder::Open(const std::string& path) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid()) {
        return Fail(Why(path, "cannot open the folder"));
    }
    return CaseBlindFolder(std::move(fd), path);
}

std::optional<std::string> CaseBlindFolder::Find(const std::string& name) const {
    if (std::binary_search(names_.begin(), names_.end(), name)) {
        return name;
    }
    const auto found = lowered_.find(LoweredAscii(name));
    if (found == lowered_.end()) {
        return std::nullopt;
    }
    return names_[found->second];
}

Result<CaseBlindFolder> CaseBlindFolder::Sub(const std::string& name) const {
    const std::optional<std::string> actual = Find(name);
    if (!actual) {
        return Fail(path_ + " has no folder " + name);
    }
    const std::string path = path_ + "/" + *actual;
    UniqueFd fd(::openat(fd_.get(), actual->c_str(),
                         O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid()) {
        const int why = errno;
        struct stat info {};
        if (::fstatat(fd_.get(), actual->c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            !S_ISDIR(info.st_mode)) {
            return Fail(path + " is " + FileKindName(info.st_mode) +
                        (S_ISLNK(info.st_mode) ? ", which is not followed" : ", not a folder"));
        }
        errno = why;
        return Fail(Why(path, "cannot open the folder"));
    }
    return CaseBlindFolder(std::move(fd), path);
}

Result<CaseBlindFolder> CaseBlindFolder::Below(const std::vector<std::string>& names) const {
    Result<CaseBlindFolder> here = Fail(path_ + ": cannot open the folder again");
    if (UniqueFd again(::openat(fd_.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        again.valid()) {
        here = CaseBlindFolder(std::move(again), path_);
    }
    for (const std::string& name : names) {
        if (!here.ok()) {
            break;
        }
        here = here.value().Sub(name);
    }
    return here;
}

Result<OpenedBody> OpenFileIn(const CaseBlindFolder& folder, const std::string& name) {
    const std::optional<std::string> actual = folder.Find(name);
    const std::string path = folder.path() + "/" + actual.value_or(name);
    if (!actual) {
        return Fail(path + " is missing");
    }
    // Looked at without access to its contents first: a FIFO would block, a device read.
    UniqueFd inspect(::openat(folder.fd(), actual->c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (!inspect.valid()) {
        return Fail(Why(path, "cannot open the file"));
    }
    struct stat info {};
    if (::fstat(inspect.get(), &info) != 0) {
        return Fail(Why(path, "cannot look at the file"));
    }
    if (!S_ISREG(info.st_mode)) {
        return Fail(path + " is " + FileKindName(info.st_mode) + ", not a file");
    }
    const std::string self = "/proc/self/fd/" + std::to_string(inspect.get());
    UniqueFd fd(::open(self.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid()) {
        return Fail(Why(path, "cannot open the file"));
    }
    return OpenedBody{std::move(fd), static_cast<std::uint64_t>(info.st_size), path};
}

}  // namespace pellimor::webcache
