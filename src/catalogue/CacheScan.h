// The listing the window shows: the catalogue of one site's movies, the site drop-down and
// the movie list, rebuilt from the URL cache (or from the leftover files) on demand.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/SwfCatalogue.h"
#include "ports/CacheSource.h"
#include "ports/FileOps.h"

namespace pellimor {

struct MovieLine {
    std::string text;  // the entry's displayName
    std::int32_t key = 0;
    bool operator==(const MovieLine&) const = default;
};

// What the dialog holds between handlers, and what a scan leaves for the widgets.
struct ListingState {
    SwfCatalogue catalogue;              // m_catalogue
    std::string site;                    // m_strSite
    std::vector<std::string> siteItems;  // the drop-down, in its sorted order
    int selectedSite = -1;               // index into siteItems
    std::vector<MovieLine> movieLines;   // the movie list, in its sorted order
    int selectedMovie = -1;              // the one line selected after the scan, or -1
    std::int32_t shownKey = 0;           // the key the scan showed with ShowEntryDetails, or 0
    std::string cacheError;              // a container that could not be read, for the user
    // The window shows one movie's size at a time: its scans leave the sizes of the cached
    // files to be looked up when a movie is shown (ShownSize), not one stat per entry.
    bool sizesWhenShown = false;
};

struct ListingServices {
    CacheSource& cache;
    FileOps& files;
    std::function<std::optional<std::string>()> cacheFolder;  // the Internet cache folder
};

// The test that keeps a cache entry as a movie. Where the format names each body's file after
// its address (WinINet): no cookie, a local file name of more than four bytes ending in
// ".swf" in any case. Elsewhere: no cookie or history, and a stored name ending in ".swf", a
// Flash content type or a body that begins as a SWF movie does.
bool IsSwfCacheEntry(const CacheEntry& entry);

// Whether bytes begin as a SWF movie: "FWS", "CWS" or "ZWS" and a version from 1 to 50.
bool LooksLikeSwf(std::string_view bytes);

// The name an entry without a file name of its own is listed under: the last segment of
// its address without query and extension, else the name of the cache's file for it.
std::string DisplayNameFromAddress(std::string_view url, const EntryId& id);

// The listed movie of a cache entry that IsSwfCacheEntry keeps (key, size text left out).
SwfEntry MovieFromEntry(const CacheEntry& entry);

// Refills the movie list from the catalogue, sorted, and selects and shows its first line.
void FillMovieList(ListingState& state);

void ScanCache(ListingState& state, ListingServices& services);
// ScanCache that also gives what CollectCachedSwfPaths gives, from the same reading.
void ScanCache(ListingState& state, ListingServices& services,
               std::vector<std::string>& cachedPaths);
// The entry with its size text as the file holds it now, where the scan left it to be looked
// up when shown; any other entry as it is.
SwfEntry ShownSize(SwfEntry entry, FileOps& files);
void ScanLeftovers(ListingState& state, ListingServices& services);
// ScanCache, then the leftover files chosen in the drop-down, as a listing of the leftovers
// alone asks: one reading of the cache gives the drop-down and the cached files the
// leftovers are told from, beside the walk of the cache's folders.
void ScanCacheThenLeftovers(ListingState& state, ListingServices& services);
// The local file names of every SWF cache entry, in the cache's order, and the leftover
// bodies the cache's formats know of.
void CollectCachedSwfPaths(std::vector<std::string>& paths, ListingServices& services);

// The drop-down's selection changed to item index (-1: none).
void OnSiteChanged(ListingState& state, int index, ListingServices& services);
void OnRefresh(ListingState& state, ListingServices& services);

}  // namespace pellimor
