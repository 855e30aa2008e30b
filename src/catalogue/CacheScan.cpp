#include "catalogue/CacheScan.h"

#include <algorithm>
#include <unordered_set>

#include "catalogue/Collation.h"
#include "catalogue/DisplayTexts.h"
#include "catalogue/SizeLookups.h"
#include "ground/AsciiText.h"
#include "resources/Strings.h"
#include "sites/ParseUrl.h"

namespace pellimor {

namespace {

// In CollatesBefore's order, stable: each text is lowered once rather than at every
// comparison, and the lowered texts compared as bytes, then the texts themselves. Indices
// are sorted, not the lines, so that no text is moved more than once.
void SortLines(std::vector<MovieLine>& lines) {
    std::vector<std::string> lowered;
    lowered.reserve(lines.size());
    std::vector<std::uint32_t> order(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        lowered.push_back(LoweredAscii(lines[i].text));
        order[i] = static_cast<std::uint32_t>(i);
    }
    std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        const int byLowered = lowered[a].compare(lowered[b]);
        return byLowered != 0 ? byLowered < 0 : lines[a].text < lines[b].text;
    });
    std::vector<MovieLine> sorted;
    sorted.reserve(lines.size());
    for (const std::uint32_t i : order) {
        sorted.push_back(std::move(lines[i]));
    }
    lines = std::move(sorted);
}

// The size of the cached file as it is now: the listing shows what a copy would hold.
std::optional<std::uint64_t> SizeOf(const std::string& path, FileOps& files) {
    Result<std::uint64_t> size = files.FileSize(path);
    return size ? std::optional(*size) : std::nullopt;
}

}  // namespace

bool LooksLikeSwf(std::string_view bytes) {
    constexpr int kHighestVersion = 50;
    if (bytes.size() < 4 || bytes.substr(1, 2) != "WS" ||
        (bytes[0] != 'F' && bytes[0] != 'C' && bytes[0] != 'Z')) {
        return false;
    }
    const auto version = static_cast<unsigned char>(bytes[3]);
    return version >= 1 && version <= kHighestVersion;
}

bool IsSwfCacheEntry(const CacheEntry& entry) {
    if (entry.kind == EntryKind::kCookie) {
        return false;
    }
    if (entry.typedByFileName) {
        const std::optional<std::string>& name = entry.localFileName;
        return name && name->size() > 4 &&
               LoweredAscii(std::string_view(*name).substr(name->size() - 4)) == ".swf";
    }
    if (entry.kind == EntryKind::kHistory || !entry.url) {
        return false;
    }
    const std::string_view stored = entry.storedName;
    if (stored.size() > 4 && LoweredAscii(stored.substr(stored.size() - 4)) == ".swf") {
        return true;
    }
    return entry.contentType == "application/x-shockwave-flash" ||
           entry.contentType == "application/futuresplash" || LooksLikeSwf(entry.bodyStart);
}

std::string DisplayNameFromAddress(std::string_view url, const EntryId& id) {
    url = url.substr(0, url.find_first_of("?#"));
    const std::size_t authority = url.find("://");
    if (authority != std::string_view::npos) {
        const std::size_t path = url.find('/', authority + 3);
        url = path == std::string_view::npos ? std::string_view() : url.substr(path);
    }
    std::string_view name = url.substr(url.rfind('/') + 1);
    name = name.substr(0, name.rfind('.'));
    if (!name.empty()) {
        return std::string(name);
    }
    if (!id.file.empty()) {
        return id.file.substr(id.file.rfind('/') + 1);
    }
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hash(16, '0');
    for (int i = 15; i >= 0; --i) {
        hash[static_cast<std::size_t>(i)] = kHex[(id.locator >> (4 * (15 - i))) & 0xF];
    }
    return hash;
}

namespace {

// MovieFromEntry with the entry's site already worked out, into entry: a scan fills one
// entry for every record, its texts keeping their storage.
void FillMovie(const CacheEntry& record, const std::string& site, SwfEntry& entry) {
    if (record.url) {
        entry.url.assign(*record.url);
    } else {
        entry.url.clear();
    }
    entry.lastModified.clear();
    entry.sizeText.clear();
    entry.localPath.clear();
    entry.key = 0;
    entry.sizeWhenShown = false;
    entry.id.source.assign(record.id.source);
    entry.id.file.assign(record.id.file);
    entry.id.locator = record.id.locator;
    entry.source.assign(record.sourceName);
    entry.sizeBytes.reset();
    entry.site.assign(site);
    entry.unreadable.assign(record.unreadable);
    entry.lastModifiedTime = record.lastModified;
    if (record.lastModified) {
        entry.lastModified = FormatUtcTime(*record.lastModified);
    }
    if (record.typedByFileName) {
        entry.localPath.assign(*record.localFileName);
        entry.displayName = DisplayNameFromPath(entry.localPath);
    } else {
        // A file of the cache holds the body as it was sent only when it was sent as is.
        if (record.localFileName && record.contentEncoding.empty()) {
            entry.localPath.assign(*record.localFileName);
        }
        entry.displayName = DisplayNameFromAddress(entry.url, record.id);
        entry.sizeBytes = record.size;
    }
}

}  // namespace

SwfEntry MovieFromEntry(const CacheEntry& record) {
    SwfEntry entry;
    FillMovie(record, record.url ? SiteFromUrl(*record.url) : std::string(), entry);
    return entry;
}

void FillMovieList(ListingState& state) {
    state.movieLines.clear();
    const SwfCatalogue& catalogue = state.catalogue;
    state.movieLines.reserve(catalogue.Count());
    for (std::size_t slot = 0; slot < catalogue.Slots(); ++slot) {
        if (catalogue.IsLive(slot)) {
            state.movieLines.push_back(
                {std::string(catalogue.DisplayNameAt(slot)), catalogue.KeyAt(slot)});
        }
    }
    SortLines(state.movieLines);
    state.selectedMovie = -1;
    state.shownKey = 0;
    if (!state.catalogue.IsEmpty() && state.movieLines.front().key > 0) {
        state.selectedMovie = 0;
        state.shownKey = state.movieLines.front().key;
    }
}

namespace {

// The drop-down's line of the site asked for: the line of all sites when none is asked for,
// else the first site that begins with it; -1 when none does.
int SiteLine(const ListingState& state) {
    const std::string_view allSites = strings::Load(strings::kAllSites);
    for (std::size_t i = 0; i < state.siteItems.size(); ++i) {
        const bool match = state.site.empty()
                               ? state.siteItems[i] == allSites
                               : StartsWithIgnoringCase(state.siteItems[i], state.site);
        if (match) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void ScanCacheCollecting(ListingState& state, ListingServices& services,
                         std::vector<std::string>* cachedPaths) {
    for (;;) {
        state.catalogue.Clear();
        if (cachedPaths != nullptr) {
            cachedPaths->clear();
        }
        state.siteItems = {std::string(strings::Load(strings::kAllSites)),
                           std::string(strings::Load(strings::kLeftoverFiles))};
        std::unordered_set<std::string> knownSites;  // lowered, for the case-blind test
        const bool filtering = !state.site.empty();
        // Host names do not depend on letter case: the filter ignores it as the drop-down does.
        const std::string loweredFilter = LoweredAscii(state.site);
        std::int32_t counter = 0;
        std::string lowered;  // reused: one site's name lowered, without a new string each
        SwfEntry entry;       // reused for every movie: the catalogue keeps its own copy
        // The files' sizes are looked up beside the reading of the index, and given to
        // their entries once it is read.
        std::optional<SizeLookups> lookups;
        std::vector<std::size_t> sizedSlots;
        if (!state.sizesWhenShown) {
            lookups.emplace(services.files);
        }
        const Status status = services.cache.Enumerate([&](const CacheEntry& record) {
            if (!IsSwfCacheEntry(record)) {
                return true;
            }
            if (cachedPaths != nullptr && record.typedByFileName) {
                cachedPaths->push_back(*record.localFileName);
            }
            std::string site = record.url ? SiteFromUrl(*record.url) : std::string();
            lowered = site;
            LowerAsciiInPlace(lowered);
            if (!site.empty() && !knownSites.contains(lowered)) {
                knownSites.insert(lowered);
                state.siteItems.push_back(site);
            }
            if (filtering && !site.empty() && lowered.find(loweredFilter) == std::string::npos) {
                return true;
            }
            FillMovie(record, site, entry);
            entry.key = ++counter;
            if (record.typedByFileName) {
                if (lookups) {
                    sizedSlots.push_back(state.catalogue.Slots());
                    lookups->Ask(entry.localPath);
                } else {
                    entry.sizeWhenShown = true;
                }
            }
            if (entry.sizeBytes) {
                entry.sizeText = FormatSizeText(*entry.sizeBytes);
            }
            state.catalogue.Append(entry);
            return true;
        });
        if (lookups) {
            const std::vector<std::optional<std::uint64_t>> sizes = lookups->Finish();
            for (std::size_t i = 0; i < sizedSlots.size() && i < sizes.size(); ++i) {
                state.catalogue.SetSize(sizedSlots[i], sizes[i],
                                        sizes[i] ? FormatSizeText(*sizes[i]) : std::string());
            }
        }
        state.cacheError = status.error();
        std::stable_sort(
            state.siteItems.begin(), state.siteItems.end(),
            [](const std::string& a, const std::string& b) { return CollatesBefore(a, b); });
        FillMovieList(state);
        state.selectedSite = SiteLine(state);
        if (state.selectedSite >= 0) {
            return;
        }
        state.site.clear();  // no site begins with it: fall back to all sites
    }
}

}  // namespace

void ScanCache(ListingState& state, ListingServices& services) {
    ScanCacheCollecting(state, services, nullptr);
}

void ScanCache(ListingState& state, ListingServices& services,
               std::vector<std::string>& cachedPaths) {
    ScanCacheCollecting(state, services, &cachedPaths);
}

SwfEntry ShownSize(SwfEntry entry, FileOps& files) {
    if (entry.sizeWhenShown) {
        entry.sizeWhenShown = false;
        entry.sizeBytes = SizeOf(entry.localPath, files);
        if (entry.sizeBytes) {
            entry.sizeText = FormatSizeText(*entry.sizeBytes);
        }
    }
    return entry;
}

void CollectCachedSwfPaths(std::vector<std::string>& paths, ListingServices& services) {
    (void)services.cache.Enumerate([&paths](const CacheEntry& record) {
        if (record.typedByFileName && IsSwfCacheEntry(record)) {
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
