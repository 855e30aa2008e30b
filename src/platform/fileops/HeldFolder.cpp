#include "platform/fileops/HeldFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace pellimor {

namespace {

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

// The part of fullPath below folder, when it has one.
std::optional<std::string> Below(const std::string& fullPath, const std::string& folder) {
    if (folder.empty()) {
        return std::nullopt;
    }
    const std::string prefix = folder == "/" ? folder : folder + "/";
    if (fullPath.size() <= prefix.size() || fullPath.compare(0, prefix.size(), prefix) != 0) {
        return std::nullopt;
    }
    return fullPath.substr(prefix.size());
}

// The steps of a relative path; nothing when one is empty, "." or "..".
std::optional<std::vector<std::string_view>> Steps(std::string_view relative) {
    std::vector<std::string_view> steps;
    while (!relative.empty()) {
        const std::size_t slash = relative.find('/');
        const std::string_view step = relative.substr(0, slash);
        if (step.empty() || step == "." || step == "..") {
            return std::nullopt;
        }
        steps.push_back(step);
        relative =
            slash == std::string_view::npos ? std::string_view() : relative.substr(slash + 1);
    }
    return steps;
}

std::string Error(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

}  // namespace

Result<HeldFolder> HeldFolder::Open(const std::string& path) {
    const std::string given = WithoutTrailingSlashes(path);
    const auto resolved = ResolveFolder(given);
    if (!resolved) {
        return Fail(given + " is no folder");
    }
    // Readable where it may be, so that the lock and the folder's flush can use it.
    UniqueFd fd(::open(resolved->c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.valid()) {
        fd = UniqueFd(::open(resolved->c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }
    struct stat info {};
    if (!fd.valid() || ::fstat(fd.get(), &info) != 0) {
        return Fail(Error(given));
    }
    // A step before it swapped between the resolving and the opening.
    if (PathOfDescriptor(fd.get()) != resolved) {
        return Fail(given + " changed while it was opened; left alone");
    }
    return HeldFolder(std::move(fd), given, *resolved, info);
}

Status HeldFolder::StillThere() const {
    struct stat now {};
    if (::stat(path_.c_str(), &now) != 0 || now.st_dev != device_ || now.st_ino != inode_) {
        return Fail(path_ +
                    " is no longer the folder that was listed (it was moved or replaced "
                    "since); list it again");
    }
    return Done{};
}

std::optional<std::string> HeldFolder::Relative(const std::string& fullPath) const {
    auto relative = Below(fullPath, path_);
    if (!relative) {
        relative = Below(fullPath, resolved_);
    }
    if (!relative || !Steps(*relative)) {
        return std::nullopt;
    }
    return relative;
}

Result<UniqueFd> HeldFolder::OpenFolder(std::string_view relative) const {
    const auto steps = Steps(relative);
    if (!steps) {
        return Fail(std::string(relative) + ": not a path below " + path_);
    }
    UniqueFd at(::openat(fd_.get(), ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    for (const std::string_view step : *steps) {
        if (!at.valid()) {
            break;
        }
        at = UniqueFd(::openat(at.get(), std::string(step).c_str(),
                               O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }
    if (!at.valid()) {
        return Fail(Error(path_ + "/" + std::string(relative)));
    }
    return at;
}

Result<std::pair<UniqueFd, std::string>> HeldFolder::Parent(const std::string& relative) const {
    const std::size_t slash = relative.rfind('/');
    const std::string name = slash == std::string::npos ? relative : relative.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") {
        return Fail(path_ + "/" + relative + ": not a file name");
    }
    Result<UniqueFd> folder =
        OpenFolder(slash == std::string::npos ? std::string_view()
                                              : std::string_view(relative).substr(0, slash));
    if (!folder) {
        return Failure{folder.error()};
    }
    return std::make_pair(std::move(folder).value(), name);
}

Result<struct stat> HeldFolder::Inspect(const std::string& relative) const {
    auto parent = Parent(relative);
    if (!parent) {
        return Failure{parent.error()};
    }
    struct stat info {};
    if (::fstatat(parent->first.get(), parent->second.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return Fail(Error(path_ + "/" + relative));
    }
    return info;
}

Result<OpenedFile> HeldFolder::OpenFile(const std::string& relative) const {
    auto parent = Parent(relative);
    if (!parent) {
        return Failure{parent.error()};
    }
    const std::string full = path_ + "/" + relative;
    // Non-blocking and without a controlling terminal: a FIFO or a device opens harmlessly
    // and is refused on its descriptor.
    UniqueFd fd(::openat(parent->first.get(), parent->second.c_str(),
                         O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.valid()) {
        return Fail(errno == ELOOP ? full + " is a link; left alone" : Error(full));
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        return Fail(Error(full));
    }
    if (!S_ISREG(info.st_mode)) {
        return Fail(full + " is " + FileKindName(info.st_mode) +
                    ", not a regular file; left alone");
    }
    return OpenedFile{std::move(fd), static_cast<std::uint64_t>(info.st_size)};
}

Status HeldFolder::RemoveFile(const std::string& relative, const std::string& fullPath) const {
    auto parent = Parent(relative);
    if (!parent) {
        return Failure{parent.error()};
    }
    struct stat info {};
    if (::fstatat(parent->first.get(), parent->second.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return Fail(Error(fullPath));
    }
    if (!S_ISREG(info.st_mode)) {
        return Fail(fullPath +
                    (S_ISLNK(info.st_mode) ? " is a link"
                                           : std::string(" is ") + FileKindName(info.st_mode)) +
                    ", not a movie file; left alone");
    }
    if (::unlinkat(parent->first.get(), parent->second.c_str(), 0) != 0) {
        return Fail(Error(fullPath));
    }
    return Done{};
}

Result<std::vector<std::string>> HeldFolder::Names(std::string_view relative) const {
    Result<UniqueFd> folder = OpenFolder(relative);
    if (!folder) {
        return Failure{folder.error()};
    }
    // An O_PATH descriptor cannot be read: the listing opens the folder once more through it.
    const int readable = ::openat(folder->get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::unique_ptr<DIR, int (*)(DIR*)> dir(readable >= 0 ? ::fdopendir(readable) : nullptr,
                                            ::closedir);
    if (!dir) {
        if (readable >= 0) {
            ::close(readable);
        }
        return Fail(Error(path_ + (relative.empty() ? "" : "/" + std::string(relative))));
    }
    std::vector<std::string> names;
    while (const dirent* item = ::readdir(dir.get())) {
        const std::string_view name = item->d_name;
        if (name != "." && name != "..") {
            names.emplace_back(name);
        }
    }
    return names;
}

}  // namespace pellimor
