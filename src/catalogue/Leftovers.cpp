#include <algorithm>
#include <functional>
#include <string_view>
#include <vector>

#include "catalogue/Beside.h"
#include "catalogue/CacheScan.h"
#include "catalogue/DisplayTexts.h"
#include "catalogue/SizeLookups.h"
#include "resources/Strings.h"
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

void ClearListing(ListingState& state) {
    state.catalogue.Clear();
    state.movieLines.clear();
    state.selectedMovie = -1;
    state.shownKey = 0;
}

// The listing of the files below the cache's folder that no entry names, and of the bodies
// the cache's formats know to be left over; their sizes are looked up beside the listing.
void ListLeftovers(ListingState& state, ListingServices& services,
                   const std::vector<FoundFile>& found, std::vector<std::string> cached) {
    ClearListing(state);
    const PathSet cachedSet(std::move(cached));
    std::int32_t counter = 0;
    SizeLookups lookups(services.files);  // services.files is theirs until Finish
    const auto append = [&](const std::string& path, std::string displayName) {
        SwfEntry entry;
        entry.key = ++counter;
        entry.url = path;
        entry.localPath = path;
        entry.displayName = std::move(displayName);
        lookups.Ask(path);
        state.catalogue.Append(entry);
    };
    for (const FoundFile& file : found) {
        if (!cachedSet.Contains(file.path)) {
            append(file.path, DisplayNameFromPath(file.path));
        }
    }
    // Bodies the cache's formats keep in files of their own names (Chromium's f_ files,
    // Firefox's entry files) that no entry refers to any more.
    (void)services.cache.EnumerateLeftovers([&](const std::string& path) {
        std::string displayName = DisplayNameFromPath(path);
        if (displayName == "noname") {
            displayName = path.substr(path.rfind('/') + 1);
        }
        append(path, std::move(displayName));
        return true;
    });
    const std::vector<std::optional<std::uint64_t>> sizes = lookups.Finish();
    for (std::size_t slot = 0; slot < sizes.size(); ++slot) {
        if (sizes[slot]) {
            state.catalogue.SetSize(slot, std::nullopt, FormatSizeText(*sizes[slot]));
        }
    }
    FillMovieList(state);
}

// Every "*.swf" file below folder into the scanner's results, the folders listed once each.
void FindSwfFilesBelow(FolderScanner& scanner, const std::string& folder) {
    scanner.SetDetailsWanted(false);  // only the paths are used
    scanner.FindFilesBelow(folder.c_str(), "*.swf");
}

}  // namespace

// Compares with a table of hashes where a pairwise comparison would take minutes on a large
// cache; the entries, their order and their keys are the same. The cache's index is read
// beside the walk of its folders: the one is reading, the other the kernel's listing.
void ScanLeftovers(ListingState& state, ListingServices& services) {
    const std::optional<std::string> folder = services.cacheFolder();
    if (!folder) {
        ClearListing(state);
        return;
    }
    std::vector<std::string> cached;
    Beside reading([&] { CollectCachedSwfPaths(cached, services); });
    FolderScanner scanner(services.files);
    FindSwfFilesBelow(scanner, *folder);
    reading.Join();
    ListLeftovers(state, services, scanner.results(), std::move(cached));
}

void ScanCacheThenLeftovers(ListingState& state, ListingServices& services) {
    const std::optional<std::string> folder = services.cacheFolder();
    std::vector<std::string> cached;
    FolderScanner scanner(services.files);
    {
        // Only the leftovers are shown: the cached movies' sizes are not looked up, and the
        // scan leaves the files to the walk.
        state.sizesWhenShown = true;
        Beside scan([&] { ScanCache(state, services, cached); });
        if (folder) {
            FindSwfFilesBelow(scanner, *folder);
        }
    }
    const std::string_view leftover = strings::Load(strings::kLeftoverFiles);
    const auto item = std::find(state.siteItems.begin(), state.siteItems.end(), leftover);
    if (item == state.siteItems.end()) {
        return;
    }
    state.selectedSite = static_cast<int>(item - state.siteItems.begin());
    state.site = *item;
    if (!folder) {
        ClearListing(state);
        return;
    }
    ListLeftovers(state, services, scanner.results(), std::move(cached));
}

}  // namespace pellimor
