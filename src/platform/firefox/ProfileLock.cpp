#include "platform/firefox/ProfileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>

#include "ground/AsciiText.h"
#include "platform/fileops/ConfinedFile.h"
#include "platform/fileops/Paths.h"
#include "platform/fileops/ProcessScan.h"
#include "platform/firefox/FirefoxFolders.h"

namespace pellimor::firefox {

namespace {

struct ProfileRoots {
    std::string_view cache;    // where the cache's profile folder lives, lower case
    std::string_view profile;  // where its roaming profile lives
};

constexpr std::array kRoots = {
    ProfileRoots{"/.cache/mozilla/firefox/", "/.mozilla/firefox/"},
    ProfileRoots{"/appdata/local/mozilla/firefox/profiles/",
                 "/AppData/Roaming/Mozilla/Firefox/Profiles/"},
    ProfileRoots{"/local settings/application data/mozilla/firefox/profiles/",
                 "/Application Data/Mozilla/Firefox/Profiles/"},
};

// The process holding an fcntl lock or a flock on the file, if any.
std::optional<std::string> LockedBy(const std::string& path) {
    // Opened without following a link, never waiting on a FIFO; only regular files count.
    const UniqueFd fd(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid()) {
        return std::nullopt;
    }
    struct stat info {};
    if (fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    if (fcntl(fd.get(), F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK) {
        return "process " + std::to_string(probe.l_pid) + " holds its lock " + path;
    }
    if (flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        return "a program holds its lock " + path;
    }
    flock(fd.get(), LOCK_UN);
    return std::nullopt;
}

// The process a "lock" link ("127.0.1.1:+1234") names, when it runs here.
std::optional<std::string> LinkNamesLiveProcess(const std::string& path) {
    std::array<char, 256> target{};
    const ssize_t length = readlink(path.c_str(), target.data(), target.size() - 1);
    if (length <= 0) {
        return std::nullopt;
    }
    const std::string_view text(target.data(), static_cast<std::size_t>(length));
    const std::size_t plus = text.rfind(":+");
    if (plus == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view digits = text.substr(plus + 2);
    int pid = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), pid);
    if (error != std::errc() || end != digits.data() + digits.size() || pid <= 0) {
        return std::nullopt;
    }
    if (!IsFolder("/proc/" + std::to_string(pid))) {
        return std::nullopt;
    }
    return "its lock " + path + " names process " + std::to_string(pid) + ", which is running";
}

}  // namespace

std::vector<std::string> ProfileFoldersOf(const std::string& cacheFolder) {
    std::vector<std::string> folders;
    const std::string parent = ParentFolder(cacheFolder);
    folders.push_back(parent);
    const std::string lowered = LoweredAscii(parent);
    for (const ProfileRoots& roots : kRoots) {
        const std::size_t at = lowered.rfind(roots.cache);
        if (at == std::string::npos) {
            continue;
        }
        const std::string name = parent.substr(at + roots.cache.size());
        if (name.empty() || name.find('/') != std::string::npos) {
            continue;
        }
        // The roaming profile's folders may be spelled in another case on a copied disk.
        std::string folder = parent.substr(0, at);
        std::string_view rest = roots.profile.substr(1);
        while (!rest.empty()) {
            const std::size_t slash = rest.find('/');
            const std::string_view part = rest.substr(0, slash);
            const auto found = FindIgnoringCase(folder.empty() ? "/" : folder, part);
            folder += "/" + (found ? *found : std::string(part));
            rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        }
        folders.push_back(folder + "/" + name);
    }
    return folders;
}

std::optional<std::string> ProfileLockHolder(const std::string& profileFolder) {
    if (const auto name = FindIgnoringCase(profileFolder, ".parentlock")) {
        if (auto holder = LockedBy(profileFolder + "/" + *name)) {
            return holder;
        }
    }
    if (const auto name = FindIgnoringCase(profileFolder, "parent.lock")) {
        const std::string path = profileFolder + "/" + *name;
        if (auto holder = LockedBy(path)) {
            return holder;
        }
        if (auto holder = ProcessHoldingFile(path)) {
            return *holder + " holds its lock " + path;
        }
    }
    if (const auto name = FindIgnoringCase(profileFolder, "lock")) {
        if (auto holder = LinkNamesLiveProcess(profileFolder + "/" + *name)) {
            return holder;
        }
    }
    return std::nullopt;
}

}  // namespace pellimor::firefox
