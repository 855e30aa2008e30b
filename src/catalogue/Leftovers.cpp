#include <functional>
#include <string_view>
#include <vector>

#include "catalogue/CacheScan.h"
#include "catalogue/DisplayTexts.h"
#include "sites/FolderScanner.h"

namespace pellimor {

namespace {

// The cached files' paths as a table of their hashes, open addressing: a path that is no
// cached file (most leftovers) costs one look at the table, not a walk through nodes; a
// matching hash is confirmed on the path itself.
class PathSet {
  public:
    explicit PathSet(std::vector<std::string> paths) : paths_(std::move(paths)) {
        std::size_t size = 16;
        while (size < 2 * paths_.size()) {
            size *= 2;
        }
        slots_.resize(size);
        for (std::size_t i = 0; i < paths_.size(); ++i) {
            const std::size_t hash = std::hash<std::string_view>{}(paths_[i]);
            std::size_t at = hash & (slots_.size() - 1);
            while (slots_[at].index != 0) {
                at = (at + 1) & (slots_.size() - 1);
            }
            slots_[at] = {hash, i + 1};
        }
    }
    bool Contains(std::string_view path) const {
        const std::size_t hash = std::hash<std::string_view>{}(path);
        for (std::size_t at = hash & (slots_.size() - 1); slots_[at].index != 0;
             at = (at + 1) & (slots_.size() - 1)) {
            if (slots_[at].hash == hash && paths_[slots_[at].index - 1] == path) {
                return true;
            }
        }
        return false;
    }

  private:
    struct Slot {
        std::size_t hash = 0;
        std::size_t index = 0;  // into paths_, plus one; 0 for an empty slot
    };
    std::vector<std::string> paths_;
    std::vector<Slot> slots_;
};

}  // namespace

// Compares with a table of hashes where a pairwise comparison would take minutes on a large
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
    const PathSet cachedSet(std::move(cached));
    std::int32_t counter = 0;
    for (const FoundFile& found : scanner.results()) {
        if (cachedSet.Contains(found.path)) {
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
