#include "platform/fileops/ProcessScan.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstdio>
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

namespace {

// Whether a line of /proc/N/maps maps the file; its permissions into perms.
bool MapsFile(const std::string& line, const struct stat& file, std::string& perms) {
    std::istringstream fields(line);
    std::string range, offset, device;
    unsigned long long inode = 0;
    fields >> range >> perms >> offset >> device >> inode;
    unsigned int major = 0, minor = 0;
    return inode == file.st_ino && std::sscanf(device.c_str(), "%x:%x", &major, &minor) == 2 &&
           makedev(major, minor) == file.st_dev;
}

enum class Use { kWriting, kAny };

bool ProcessUses(const std::string& pid, const struct stat& file, Use use) {
    const std::string base = "/proc/" + pid;
    std::ifstream maps(base + "/maps");
    for (std::string line, perms; std::getline(maps, line);) {
        // "rw-s" or "-w-s": the program's changes go to the file, and an old copy with them.
        if (MapsFile(line, file, perms) &&
            (use == Use::kAny || (perms.size() == 4 && perms[1] == 'w' && perms[3] == 's'))) {
            return true;
        }
    }
    return AnyDescriptor(pid, [&](const std::string& fd) {
        struct stat info {};
        if (::stat((base + "/fd/" + fd).c_str(), &info) != 0 || info.st_ino != file.st_ino ||
            info.st_dev != file.st_dev) {
            return false;
        }
        if (use == Use::kAny) {
            return true;
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
}

}  // namespace

std::optional<std::string> ProcessWritingFile(const struct stat& file) {
    return FirstProcess(
        [&](const std::string& pid) { return ProcessUses(pid, file, Use::kWriting); });
}

std::optional<std::string> ProcessHoldingFile(const std::string& path) {
    struct stat file {};
    if (::stat(path.c_str(), &file) != 0) {
        return std::nullopt;
    }
    return ProcessWritingFile(file);
}

std::optional<std::string> ProcessOpeningFile(const struct stat& file) {
    return FirstProcess([&](const std::string& pid) { return ProcessUses(pid, file, Use::kAny); });
}

std::optional<std::string> ProcessLockingFile(const struct stat& file) {
    // "1: FLOCK  ADVISORY  WRITE 1234 fd:01:5678 0 EOF"; a waiting lock is marked "->".
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);) {
        if (line.find("->") != std::string::npos) {
            continue;
        }
        std::istringstream fields(line);
        std::string number, kind, advisory, mode, pid, where;
        fields >> number >> kind >> advisory >> mode >> pid >> where;
        unsigned int major = 0, minor = 0;
        unsigned long long inode = 0;
        if (std::sscanf(where.c_str(), "%x:%x:%llu", &major, &minor, &inode) == 3 &&
            inode == file.st_ino && makedev(major, minor) == file.st_dev) {
            return ProcessName(pid);
        }
    }
    return std::nullopt;
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
