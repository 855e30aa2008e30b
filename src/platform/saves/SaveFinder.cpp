#include "platform/saves/SaveFinder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "ground/AsciiText.h"
#include "platform/fileops/FolderFile.h"

namespace pellimor {

namespace {

// A movie's address path is rarely more than a handful of folders deep.
constexpr int kDeepestPath = 24;

bool EndsWithSol(const std::string& name) {
    if (name.size() <= 4) {
        return false;
    }
    return EqualIgnoringCase(std::string_view(name).substr(name.size() - 4), ".sol");
}

struct Walk {
    FoundSaves& found;
    std::uint64_t bytes = 0;
    bool full = false;

    // Names and kinds of a folder's entries, links and all but "." and "..", sorted.
    std::vector<std::pair<std::string, bool>> List(int folderFd, const std::string& path) {
        std::vector<std::pair<std::string, bool>> entries;
        const int listed = ::dup(folderFd);
        DIR* dir = listed < 0 ? nullptr : ::fdopendir(listed);
        if (dir == nullptr) {
            if (listed >= 0) {
                ::close(listed);
            }
            found.problems.push_back(path + ": " + std::strerror(errno));
            return entries;
        }
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name == "." || name == "..") {
                continue;
            }
            struct stat info {};
            const bool folder =
                ::fstatat(folderFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISDIR(info.st_mode);
            entries.emplace_back(name, folder);
        }
        ::closedir(dir);
        std::sort(entries.begin(), entries.end());
        return entries;
    }

    // A folder below the host: folders (a name's "#" part among them) and saves.
    void Visit(int folderFd, const std::string& path, const std::string& host,
               std::vector<std::string>& folders, int level) {
        for (const auto& [name, isFolder] : List(folderFd, path)) {
            if (full) {
                return;
            }
            const std::string child = path + "/" + name;
            if (isFolder) {
                if (level >= kDeepestPath) {
                    found.problems.push_back(child + ": deeper than saves are kept; not searched");
                    continue;
                }
                const UniqueFd fd(::openat(folderFd, name.c_str(),
                                           O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
                if (!fd.valid()) {
                    found.problems.push_back(child + ": " + std::strerror(errno));
                    continue;
                }
                folders.push_back(name);
                Visit(fd.get(), child, host, folders, level + 1);
                folders.pop_back();
            } else if (EndsWithSol(name)) {
                Read(folderFd, name, child, host, folders);
            }
        }
    }

    void Read(int folderFd, const std::string& name, const std::string& path,
              const std::string& host, const std::vector<std::string>& folders) {
        if (found.saves.size() >= kMostSaves) {
            found.problems.push_back("only the first " + std::to_string(kMostSaves) +
                                     " saves were read");
            full = true;
            return;
        }
        auto opened = OpenInFolder(folderFd, name, path);
        if (!opened.ok()) {
            found.problems.push_back(opened.error());
            return;
        }
        if (opened->size > kLargestSave || bytes + opened->size > kMostSaveBytes) {
            found.problems.push_back(path + ": " + std::to_string(opened->size) +
                                     " bytes, larger than a save; not read");
            return;
        }
        // One byte more than its size: a file that grows while read is not taken as whole.
        std::string content(static_cast<std::size_t>(opened->size) + 1, '\0');
        std::size_t have = 0;
        while (have < content.size()) {
            const ssize_t got =
                ::read(opened->fd.get(), content.data() + have, content.size() - have);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                break;
            }
            have += static_cast<std::size_t>(got);
        }
        if (have != opened->size) {
            found.problems.push_back(path + ": changed while it was read; not read");
            return;
        }
        content.resize(have);
        bytes += have;
        FoundSave save;
        save.file = path;
        save.host = LoweredAscii(host);
        // The first folder marked "#" starts a name that holds "/".
        const auto marked = std::find_if(folders.begin(), folders.end(), [](const std::string& f) {
            return !f.empty() && f.front() == '#';
        });
        save.path.assign(folders.begin(), marked);
        for (auto part = marked; part != folders.end(); ++part) {
            save.name += (part == marked ? part->substr(1) : *part) + "/";
        }
        save.name += name.substr(0, name.size() - 4);
        save.bytes = std::move(content);
        save.modified = opened->modified;
        found.saves.push_back(std::move(save));
    }
};

}  // namespace

bool IsSharedObjectsName(std::string_view loweredName) {
    return loweredName == "#sharedobjects";
}

void FindSaves(const std::string& sharedObjectsFolder, FoundSaves& found) {
    const UniqueFd root(
        ::open(sharedObjectsFolder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!root.valid()) {
        found.problems.push_back(sharedObjectsFolder + ": " + std::strerror(errno));
        return;
    }
    Walk walk{found};
    // <random>/<host>/...: only folders count at the first two levels.
    for (const auto& [random, isFolder] : walk.List(root.get(), sharedObjectsFolder)) {
        const UniqueFd randomFd(isFolder ? ::openat(root.get(), random.c_str(),
                                                    O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)
                                         : -1);
        if (!randomFd.valid()) {
            continue;
        }
        const std::string randomPath = sharedObjectsFolder + "/" + random;
        for (const auto& [host, hostIsFolder] : walk.List(randomFd.get(), randomPath)) {
            const UniqueFd hostFd(hostIsFolder
                                      ? ::openat(randomFd.get(), host.c_str(),
                                                 O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)
                                      : -1);
            if (!hostFd.valid() || walk.full) {
                continue;
            }
            std::vector<std::string> folders;
            walk.Visit(hostFd.get(), randomPath + "/" + host, host, folders, 0);
        }
    }
}

}  // namespace pellimor
