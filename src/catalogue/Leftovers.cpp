#include <iterator>
#include <unordered_set>

#include "catalogue/CacheScan.h"
#include "catalogue/DisplayTexts.h"
#include "sites/FolderScanner.h"

namespace pellimor {

// Compares with a hash set where a pairwise comparison would take minutes on a large
// cache; the entries, their order and their keys are the same.
void ScanLeftovers(ListingState& state, ListingServices& services) {
    state.catalogue.Clear();
    state.movieLines.clear();
    state.selectedMovie = -1;
    state.shownKey = 0;
    const std::optional<std::string> folder = services.cacheFolder();
    if (!folder) {
        return;
    }
    FolderScanner scanner(services.files);
    scanner.SetDetailsWanted(false);  // only the paths are used
    scanner.FindFilesBelow(folder->c_str(), "*.swf");
    std::vector<std::string> cached;
    if (!scanner.results().empty()) {
        CollectCachedSwfPaths(cached, services);
    }
    const std::unordered_set<std::string> cachedSet(std::make_move_iterator(cached.begin()),
                                                    std::make_move_iterator(cached.end()));
    cached.clear();
    std::int32_t counter = 0;
    for (const FoundFile& found : scanner.results()) {
        if (cachedSet.count(found.path) != 0) {
            continue;
        }
        SwfEntry entry;
        entry.key = ++counter;
        entry.url = found.path;
        entry.localPath = found.path;
        entry.displayName = DisplayNameFromPath(found.path);
        if (const auto size = services.files.FileSize(found.path)) {
            entry.sizeText = FormatSizeText(*size);
        }
        state.catalogue.Append(std::move(entry));
    }
    // Bodies the cache's formats keep in files of their own names (Chromium's f_ files,
    // Firefox's entry files) that no entry refers to any more.
    (void)services.cache.EnumerateLeftovers([&](const std::string& path) {
        SwfEntry entry;
        entry.key = ++counter;
        entry.url = path;
        entry.localPath = path;
        entry.displayName = DisplayNameFromPath(path);
        if (entry.displayName == "noname") {
            entry.displayName = path.substr(path.rfind('/') + 1);
        }
        if (const auto size = services.files.FileSize(path)) {
            entry.sizeText = FormatSizeText(*size);
        }
        state.catalogue.Append(std::move(entry));
        return true;
    });
    FillMovieList(state);
}

}  // namespace pellimor
