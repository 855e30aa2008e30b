#include "platform/registry/HiveDisk.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/fileops/ConfinedFile.h"
#include "ports/Registry.h"

namespace pellimor {

namespace {

constexpr const char* kLeftAlone = "; it is left as it is";

std::string WhatItIs(mode_t mode) {
    if (S_ISDIR(mode)) {
        return "a folder";
    }
    if (S_ISFIFO(mode)) {
        return "a pipe (FIFO)";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "a device";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    return "something else";
}

}  // namespace

HiveDiskResult LocateHive(const std::string& path, std::string& file) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        if (errno == ENOENT) {
            file = path;  // nothing there yet: the file is made at its path
            return {};
        }
        return {kStatusAccessDenied,
                "cannot reach the settings file " + path + ": " + std::strerror(errno)};
    }
    if (!S_ISLNK(info.st_mode)) {
        file = path;
        return {};
    }
    if (char* real = ::realpath(path.c_str(), nullptr)) {
        file = real;
        std::free(real);
        return {};
    }
    const int error = errno;
    if (error == ELOOP) {
        return {kStatusAccessDenied,
                "the settings file " + path + " is a link that leads back to itself" + kLeftAlone};
    }
    if (error == ENOENT) {
        std::vector<char> target(4096);
        const ssize_t length = ::readlink(path.c_str(), target.data(), target.size() - 1);
        const std::string named = length > 0 ? std::string(target.data(), length) : "?";
        return {kStatusAccessDenied, "the settings file " + path + " is a link to " + named +
                                         ", which does not exist; make that file or remove "
                                         "the link"};
    }
    return {kStatusAccessDenied,
            "cannot follow the settings file's link " + path + ": " + std::strerror(error)};
}

HiveDiskResult ReadHiveText(const std::string& path, bool noFollow, std::string& text,
                            bool& exists) {
    exists = false;
    text.clear();
    const int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (noFollow ? O_NOFOLLOW : 0);
    const UniqueFd fd(::open(path.c_str(), flags));
    if (fd.get() < 0) {
        const int error = errno;
        if (error == ENOENT) {
            return {};  // nothing stored yet
        }
        if (error == ELOOP) {
            return {kStatusAccessDenied,
                    "the settings file " + path +
                        (noFollow ? " turned into a link while it was being changed"
                                  : " is a link that leads back to itself") +
                        kLeftAlone};
        }
        return {kStatusAccessDenied,
                "cannot read the settings file " + path + ": " + std::strerror(error) + kLeftAlone};
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        return {kStatusAccessDenied,
                "cannot read the settings file " + path + ": " + std::strerror(errno) + kLeftAlone};
    }
    if (!S_ISREG(info.st_mode)) {
        return {kStatusAccessDenied, "the settings file " + path + " is " + WhatItIs(info.st_mode) +
                                         ", not a regular file" + kLeftAlone};
    }
    const std::string tooLarge = "the settings file " + path +
                                 " is larger than the 16 MiB a settings file may hold" + kLeftAlone;
    if (static_cast<std::uint64_t>(info.st_size) > kHiveSizeLimit) {
        return {kStatusInvalidData, tooLarge};
    }
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return {kStatusAccessDenied, "cannot read the settings file " + path + ": " +
                                             std::strerror(errno) + kLeftAlone};
        }
        if (got == 0) {
            break;
        }
        if (text.size() + static_cast<std::size_t>(got) > kHiveSizeLimit) {
            text.clear();
            return {kStatusInvalidData, tooLarge};  // it grew while being read
        }
        text.append(buffer.data(), static_cast<std::size_t>(got));
    }
    exists = true;
    return {};
}

}  // namespace pellimor
