#include "platform/fileops/Paths.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>

#include <cerrno>
#include <cstring>

#include "ground/AsciiText.h"

namespace pellimor {

bool IsFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool IsFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string ParentFolder(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

Status MakeFolders(const std::string& path) {
    for (std::size_t at = path.find('/', 1);; at = path.find('/', at + 1)) {
        const std::string part = at == std::string::npos ? path : path.substr(0, at);
        if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
            return Fail("cannot create " + part + ": " + std::strerror(errno));
        }
        if (at == std::string::npos) {
            return Done{};
        }
    }
}

std::optional<std::string> CaseBlindLookup::Child(const std::string& folder,
                                                  std::string_view name) {
    const std::string exact = folder + "/" + std::string(name);
    if (IsFolder(exact) || IsFile(exact)) {
        return exact;
    }
    auto [names, added] = listed_.try_emplace(folder);
    if (added) {
        if (DIR* dir = ::opendir(folder.c_str())) {
            while (const dirent* entry = ::readdir(dir)) {
                names->second.try_emplace(LoweredAscii(entry->d_name), entry->d_name);
            }
            ::closedir(dir);
        }
    }
    const auto found = names->second.find(LoweredAscii(name));
    if (found == names->second.end()) {
        return std::nullopt;
    }
    return folder + "/" + found->second;
}

std::optional<std::string> ChildIgnoringCase(const std::string& folder, std::string_view name) {
    return CaseBlindLookup().Child(folder, name);
}

}  // namespace pellimor
