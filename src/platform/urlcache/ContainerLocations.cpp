#include "platform/urlcache/ContainerLocations.h"

#include <sys/stat.h>

#include <algorithm>
#include <optional>
#include <string_view>

#include "ground/AsciiText.h"
#include "platform/fileops/ConfinedFile.h"
#include "platform/fileops/Paths.h"

namespace pellimor {

namespace {

std::string StripTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

// What stands where an index file was expected, for the user.
std::string WhyNotAnIndex(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return path + " is a link that leads nowhere, not an index file";
    }
    return path + " is " + FileKindName(info.st_mode) + ", not an index file; left alone";
}

std::optional<ContainerLocation> ContainerAt(CaseBlindLookup& lookup, const std::string& parent,
                                             std::initializer_list<std::string_view> steps,
                                             std::vector<std::string>& problems) {
    std::string path = parent;
    for (const std::string_view step : steps) {
        const auto next = lookup.Child(path, step);
        if (!next) {
            return std::nullopt;
        }
        path = *next;
    }
    const auto index = lookup.Child(path, "index.dat");
    if (!index) {
        return std::nullopt;
    }
    if (!IsFile(*index)) {
        problems.push_back(WhyNotAnIndex(*index));
        return std::nullopt;
    }
    return ContainerLocation{*index, path};
}

}  // namespace

std::vector<ContainerLocation> FindContainers(const std::string& cacheLocation,
                                              std::vector<std::string>* problemsOut) {
    std::vector<std::string> ignored;
    std::vector<std::string>& problems = problemsOut != nullptr ? *problemsOut : ignored;
    if (cacheLocation.empty()) {
        return {};
    }
    std::string location = StripTrailingSlashes(cacheLocation);
    CaseBlindLookup lookup;
    if (const auto here = ContainerAt(lookup, location, {}, problems)) {
        return {*here};
    }
    // A profile folder given instead of its cache folder.
    for (const char* cacheName : {"INetCache", "Temporary Internet Files"}) {
        if (const auto inner = lookup.Child(location, cacheName); inner && IsFolder(*inner)) {
            location = *inner;
            break;
        }
    }
    const std::string parent = ParentFolder(location);
    const bool windowsXp = LoweredAscii(location).ends_with("temporary internet files");
    std::vector<ContainerLocation> found;
    std::optional<ContainerLocation> cookies =
        ContainerAt(lookup, parent, {"INetCookies"}, problems);
    if (!cookies) {
        cookies = ContainerAt(lookup, parent, {"Cookies"}, problems);
    }
    if (!cookies && windowsXp) {
        cookies = ContainerAt(lookup, ParentFolder(parent), {"Cookies"},
                              problems);  // XP keeps them in the profile root
    }
    // Internet Explorer in protected mode (Vista and later) keeps a second content container
    // under Low; most of what its users browsed is there.
    std::optional<ContainerLocation> history =
        ContainerAt(lookup, parent, {"History", "History.IE5"}, problems);
    for (auto* notContent : {&cookies, &history}) {
        if (*notContent) {
            (*notContent)->content = false;
        }
    }
    for (const auto& container :
         {cookies, history, ContainerAt(lookup, location, {"Content.IE5"}, problems),
          ContainerAt(lookup, location, {"Low", "Content.IE5"}, problems)}) {
        if (container) {
            found.push_back(*container);
        }
    }
    return found;
}

}  // namespace pellimor
