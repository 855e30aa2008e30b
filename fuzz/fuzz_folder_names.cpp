// The leftover scan's handling of names from any disk: the wildcard match, the trailing
// separators, the name shown for a path and the inside-the-cache test, on any bytes.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "catalogue/SwfCatalogue.h"
#include "files/DeleteAction.h"
#include "sites/FolderScanner.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto split = input.find('\n');
    const std::string_view name = input.substr(0, split);
    const std::string_view pattern = split == input.npos ? "*.swf" : input.substr(split + 1);

    const bool plainName = name.find_first_of("*?") == name.npos;
    if (!pellimor::MatchesWildcard(name, "*") ||
        (plainName && !pellimor::MatchesWildcard(name, name))) {
        std::abort();
    }
    (void)pellimor::MatchesWildcard(name, pattern);

    std::string path(input);
    pellimor::StripTrailingSeparators(path);
    if (path.size() > input.size() || input.substr(0, path.size()) != path) {
        std::abort();  // only ever cut from the end
    }

    const std::string shown = pellimor::DisplayNameFromPath(std::string(input));
    if (shown.find('/') != std::string::npos) {
        std::abort();
    }

    // A path the test calls inside never climbs out of the folder.
    const std::string folder = "/cache";
    const std::string candidate = folder + "/" + std::string(name);
    if (pellimor::IsInsideFolder(candidate, folder) &&
        (candidate.find("/../") != std::string::npos || candidate.ends_with("/.."))) {
        std::abort();
    }
    return 0;
}
