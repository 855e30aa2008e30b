#include "platform/cachefolder/CacheFolder.h"

#include "platform/fileops/Paths.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace pellimor {

namespace {

// Every browser installed in the prefix keeps its cache below the user's AppData (Internet
// Explorer's INetCache, Chrome's and Firefox's under Local): the user folder holds them all.
constexpr const char* kProfileBelowUser = "/AppData";

std::optional<std::string> Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::optional<std::string>(value) : std::nullopt;
}

}  // namespace

CacheFolderInputs CacheFolderInputsFromEnvironment(const std::optional<std::string>& commandLine) {
    return {commandLine, Environment("WINEPREFIX"), Environment("HOME"), Environment("USER")};
}

std::optional<std::string> GetSpecialFolderPath(const CacheFolderInputs& inputs) {
    if (inputs.commandLine) {
        std::string folder = *inputs.commandLine;
        while (folder.size() > 1 && folder.back() == '/') {
            folder.pop_back();
        }
        return folder;
    }
    std::optional<std::string> prefix = inputs.winePrefix;
    if (!prefix && inputs.home) {
        prefix = *inputs.home + "/.wine";
    }
    if (!prefix) {
        return std::nullopt;
    }
    const std::string users = *prefix + "/drive_c/users";
    std::vector<std::string> names;
    if (inputs.user) {
        names.push_back(*inputs.user);
    }
    if (DIR* dir = ::opendir(users.c_str())) {
        std::vector<std::string> listed;
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != ".." && name != "Public") {
                listed.push_back(name);
            }
        }
        ::closedir(dir);
        std::sort(listed.begin(), listed.end());
        names.insert(names.end(), listed.begin(), listed.end());
    }
    for (const std::string& name : names) {
        const std::string candidate = users + "/" + name;
        if (IsFolder(candidate + kProfileBelowUser)) {
            return candidate;
        }
    }
    return std::nullopt;
}

}  // namespace pellimor
