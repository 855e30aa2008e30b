#include "catalogue/CacheScan.h"

#include <algorithm>
#include <unordered_set>

#include "catalogue/Collation.h"
#include "catalogue/DisplayTexts.h"
#include "resources/Strings.h"
#include "sites/ParseUrl.h"

namespace pellimor {

namespace {

void SortLines(std::vector<MovieLine>& lines) {
    std::stable_sort(lines.begin(), lines.end(), [](const MovieLine& a, const MovieLine& b) {
        return CollatesBefore(a.text, b.text);
    });
}

std::string SizeTextOf(const std::string& path, FileOps& files) {
    const auto size = files.FileSize(path);
    return size ? FormatSizeText(*size) : std::string();
}

}  // namespace

bool IsSwfCacheEntry(const CacheRecord& record) {
    if ((record.entryType & kCookieCacheEntry) != 0 || !record.localFileName ||
        record.localFileName->size() <= 4) {
        return false;
    }
    return LoweredAscii(
               std::string_view(*record.localFileName).substr(record.localFileName->size() - 4)) ==
           ".swf";
}

void FillMovieList(ListingState& state) {
    state.movieLines.clear();
    state.movieLines.reserve(state.catalogue.Count());
    for (const SwfEntry& entry : state.catalogue) {
        state.movieLines.push_back({entry.displayName, entry.key});
    }
    SortLines(state.movieLines);
    state.selectedMovie = -1;
    state.shownKey = 0;
    if (!state.catalogue.IsEmpty() && state.movieLines.front().key > 0) {
        state.selectedMovie = 0;
        state.shownKey = state.movieLines.front().key;
    }
}

void ScanCache(ListingState& state, ListingServices& services) {
    for (;;) {
        state.catalogue.Clear();
        state.siteItems = {std::string(strings::Load(strings::kAllSites)),
                           std::string(strings::Load(strings::kLeftoverFiles))};
        std::unordered_set<std::string> knownSites;  // lowered, for the case-blind test
        const bool filtering = !state.site.empty();
        // Host names do not depend on letter case: the filter ignores it as the drop-down does.
        const std::string loweredFilter = LoweredAscii(state.site);
        std::int32_t counter = 0;
        const CacheStatus status = services.cache.Enumerate([&](const CacheRecord& record) {
            if (!IsSwfCacheEntry(record)) {
                return true;
            }
            const std::string site = record.url ? SiteFromUrl(*record.url) : std::string();
            if (!site.empty() && knownSites.insert(LoweredAscii(site)).second) {
                state.siteItems.push_back(site);
            }
            if (filtering && !site.empty() &&
                LoweredAscii(site).find(loweredFilter) == std::string::npos) {
                return true;
            }
            SwfEntry entry;
            entry.key = ++counter;
            entry.url = record.url.value_or("");
            entry.localPath = *record.localFileName;
            entry.container = record.container;
            entry.recordOffset = record.recordOffset;
            entry.displayName = DisplayNameFromPath(entry.localPath);
            if (record.lastModified != 0) {
                entry.lastModified = FormatLastModified(record.lastModified);
            }
            entry.sizeText = SizeTextOf(entry.localPath, services.files);
            state.catalogue.Append(entry);
            return true;
        });
        state.cacheError = status.ok ? std::string() : status.error;
        std::stable_sort(
            state.siteItems.begin(), state.siteItems.end(),
            [](const std::string& a, const std::string& b) { return CollatesBefore(a, b); });
        FillMovieList(state);
        const std::string_view allSites = strings::Load(strings::kAllSites);
        state.selectedSite = -1;
        for (std::size_t i = 0; i < state.siteItems.size(); ++i) {
            const bool match = state.site.empty()
                                   ? state.siteItems[i] == allSites
                                   : StartsWithIgnoringCase(state.siteItems[i], state.site);
            if (match) {
                state.selectedSite = static_cast<int>(i);
                break;
            }
        }
        if (state.selectedSite >= 0) {
            return;
        }
        state.site.clear();  // no site begins with it: fall back to all sites
    }
}

void CollectCachedSwfPaths(std::vector<std::string>& paths, ListingServices& services) {
    services.cache.Enumerate([&paths](const CacheRecord& record) {
        if (IsSwfCacheEntry(record)) {
            paths.push_back(*record.localFileName);
        }
        return true;
    });
}

void OnSiteChanged(ListingState& state, int index, ListingServices& services) {
    if (index < 0 || static_cast<std::size_t>(index) >= state.siteItems.size()) {
        return;
    }
    state.selectedSite = index;
    state.site = state.siteItems[static_cast<std::size_t>(index)];
    if (state.site == strings::Load(strings::kAllSites)) {
        state.site.clear();
    }
    OnRefresh(state, services);
}

void OnRefresh(ListingState& state, ListingServices& services) {
    if (state.site == strings::Load(strings::kLeftoverFiles)) {
        ScanLeftovers(state, services);
    } else {
        ScanCache(state, services);
    }
}

}  // namespace pellimor
