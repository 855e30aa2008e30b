#include "platform/fileops/ProcessScan.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>

#include "platform/fileops/ConfinedFile.h"

namespace pellimor {

namespace {

std::string ProcessName(const std::string& pid) {
    std::ifstream comm("/proc/" + pid + "/comm");
    std::string name;
    std::getline(comm, name);
    return name + " (process " + pid + ")";
}

// Calls visit with the number of every process but this one until it returns true; that
// process's name is the answer.
std::optional<std::string> FirstProcess(const std::function<bool(const std::string&)>& visit) {
    const std::string self = std::to_string(::getpid());
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr) {
        return std::nullopt;
    }
    std::optional<std::string> found;
    while (const dirent* entry = ::readdir(proc)) {
        const std::string pid = entry->d_name;
        if (pid.empty() || !std::isdigit(static_cast<unsigned char>(pid[0])) || pid == self) {
            continue;
        }
        if (visit(pid)) {
            found = ProcessName(pid);
            break;
        }
    }
    ::closedir(proc);
    return found;
}

// Calls visit with the path of every open descriptor of the process until it returns true.
bool AnyDescriptor(const std::string& pid,
                   const std::function<bool(const std::string& fdName)>& visit) {
    DIR* fds = ::opendir(("/proc/" + pid + "/fd").c_str());
    if (fds == nullptr) {
        return false;
    }
    bool hit = false;
    while (const dirent* fd = ::readdir(fds)) {
        if (fd->d_name[0] != '.' && visit(fd->d_name)) {
            hit = true;
            break;
        }
    }
    ::closedir(fds);
    return hit;
}

}  // namespace

std::optional<std::string> ProcessHoldingFile(const std::string& path) {
    struct stat target {};
    if (::stat(path.c_str(), &target) != 0) {
        return std::nullopt;
    }
    const std::string baseName = path.substr(path.rfind('/') + 1);
    return FirstProcess([&](const std::string& pid) {
        const std::string base = "/proc/" + pid;
        // A mapping of the file: the cache library maps its index while it runs.
        std::ifstream maps(base + "/maps");
        for (std::string line; std::getline(maps, line);) {
            std::istringstream fields(line);
            std::string range, perms, offset, device;
            unsigned long long inode = 0;
            fields >> range >> perms >> offset >> device >> inode;
            if (inode == target.st_ino && line.find(baseName) != std::string::npos) {
                return true;
            }
        }
        // A descriptor open for writing.
        return AnyDescriptor(pid, [&](const std::string& fd) {
            struct stat info {};
            if (::stat((base + "/fd/" + fd).c_str(), &info) != 0 || info.st_ino != target.st_ino ||
                info.st_dev != target.st_dev) {
                return false;
            }
            std::ifstream fdinfo(base + "/fdinfo/" + fd);
            for (std::string line; std::getline(fdinfo, line);) {
                if (line.rfind("flags:", 0) == 0) {
                    const unsigned long flags = std::strtoul(line.c_str() + 6, nullptr, 8);
                    return (flags & 3) != 0;  // O_WRONLY or O_RDWR
                }
            }
            return false;
        });
    });
}

std::optional<std::string> ProcessUsingFolder(const std::string& folder) {
    char resolved[PATH_MAX];
    if (::realpath(folder.c_str(), resolved) == nullptr) {
        return std::nullopt;
    }
    const std::string root = resolved;
    return FirstProcess([&](const std::string& pid) {
        const std::string base = "/proc/" + pid + "/fd/";
        return AnyDescriptor(pid, [&](const std::string& fd) {
            char target[PATH_MAX];
            const ssize_t length = ::readlink((base + fd).c_str(), target, sizeof target - 1);
            if (length <= 0) {
                return false;
            }
            const std::string open(target, static_cast<std::size_t>(length));
            return open == root || IsWithin(open, root);
        });
    });
}

}  // namespace pellimor
