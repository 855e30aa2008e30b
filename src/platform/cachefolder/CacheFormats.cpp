#include "platform/cachefolder/CacheFormats.h"

#include <algorithm>
#include <set>

#include "ground/AsciiText.h"
#include "platform/chromium/BlockFileCache.h"
#include "platform/chromium/ChromiumFolders.h"
#include "platform/chromium/SimpleCache.h"
#include "platform/firefox/Cache2.h"
#include "platform/firefox/CacheV1.h"
#include "platform/firefox/FirefoxFolders.h"
#include "platform/saves/SaveFinder.h"
#include "platform/urlcache/IndexDatCache.h"
#include "platform/webcache/WebCacheSource.h"

namespace pellimor {

namespace {

// A home folder holds deep trees (source checkouts, node_modules); caches sit a few levels
// below a profile. The bounds keep a walk of a stranger's disk short.
constexpr int kDeepestLevel = 12;
constexpr std::size_t kMostFolders = 50'000;

bool WininetName(std::string_view name) {
    return name == "inetcache" || name == "temporary internet files";
}

bool IsWininetCache(const std::string& folder) {
    return !FindContainers(folder).empty();
}

void ExplainWininet(const std::string& folder, std::vector<std::string>& problems) {
    (void)FindContainers(folder, &problems);
}

Result<std::unique_ptr<CacheSource>> OpenWininet(const std::string& folder,
                                                 const CacheOpenOptions& options) {
    return std::unique_ptr<CacheSource>(
        std::make_unique<IndexDatCache>(folder, options.codePage, options.readOnly));
}

// The source is the one OpenWininet made: the row pairs them.
CacheSpan WininetSpan(const CacheSource& opened) {
    const auto& wininet = static_cast<const IndexDatCache&>(opened);
    CacheSpan span;
    for (const ContainerLocation& container : wininet.containers()) {
        span.indexes.push_back(container.indexPath);
        span.fileFolders.push_back(container.folder);
    }
    span.problems = wininet.unusable();
    return span;
}

// Chrome, Chromium, Opera and Edge keep their cache in "Cache", and since 2020 in its
// "Cache_Data"; --disk-cache-dir names any folder, which is the folder given.
bool ChromiumName(std::string_view name) {
    return name == "cache" || name == "cache_data";
}

Result<std::unique_ptr<CacheSource>> OpenChromiumSimple(const std::string& folder,
                                                        const CacheOpenOptions&) {
    return std::unique_ptr<CacheSource>(std::make_unique<ChromiumSimpleCache>(folder));
}

Result<std::unique_ptr<CacheSource>> OpenChromiumBlockFile(const std::string& folder,
                                                           const CacheOpenOptions&) {
    return std::unique_ptr<CacheSource>(std::make_unique<ChromiumBlockFileCache>(folder));
}

// Firefox since version 32 keeps "cache2" in the profile's local folder; before, "Cache"
// with _CACHE_MAP_ and its block files.
bool FirefoxCache2Name(std::string_view name) {
    return name == "cache2";
}
bool FirefoxV1Name(std::string_view name) {
    return name == "cache";
}

Result<std::unique_ptr<CacheSource>> OpenFirefoxCache2(const std::string& folder,
                                                       const CacheOpenOptions&) {
    auto opened = FirefoxCache2::Open(folder);
    if (!opened.ok()) {
        return Fail(opened.error());
    }
    return std::unique_ptr<CacheSource>(std::move(opened).value());
}

Result<std::unique_ptr<CacheSource>> OpenFirefoxV1(const std::string& folder,
                                                   const CacheOpenOptions&) {
    auto opened = FirefoxCacheV1::Open(folder);
    if (!opened.ok()) {
        return Fail(opened.error());
    }
    return std::unique_ptr<CacheSource>(std::move(opened).value());
}

// Internet Explorer 10/11 and the first Edge: AppData/Local/Microsoft/Windows/WebCache.
bool WebCacheName(std::string_view name) {
    return name == "webcache";
}

Result<std::unique_ptr<CacheSource>> OpenWebCache(const std::string& folder,
                                                  const CacheOpenOptions&) {
    auto opened = webcache::WebCacheSource::Open(folder);
    if (!opened.ok()) {
        return Fail(opened.error());
    }
    return std::unique_ptr<CacheSource>(std::move(opened).value());
}

struct Walk {
    FileOps& files;
    const CacheOpenOptions& options;
    FoundCaches found;
    std::set<std::string> spanIndexes;  // indexes already read through another folder
    std::size_t visited = 0;
    // The folders of spanning caches' files: their sub-folders hold the cached files (and the
    // leftovers, which may be many thousands), never another cache.
    std::set<std::string> fileFolders;

    // Whether the folder is a cache of some format (then nothing below it is looked at).
    bool Recognise(const std::string& folder, std::string_view name, bool given) {
        for (const CacheFormat& format : CacheFormats()) {
            if ((!given && !format.plausibleName(name)) || !format.recognise(folder)) {
                continue;
            }
            Result<std::unique_ptr<CacheSource>> opened = format.open(folder, options);
            if (!opened.ok()) {
                found.problems.push_back(opened.error());
                return true;
            }
            std::unique_ptr<CacheSource> source = std::move(opened).value();
            if (format.span != nullptr) {
                CacheSpan span = format.span(*source);
                Spanning(folder, std::move(source), std::move(span));
                continue;  // history and cookies sit beside the content; keep walking
            }
            found.sources.push_back(std::move(source));
            return true;
        }
        return false;
    }

    // Keeps a cache that spans folders unless another folder led to it already.
    void Spanning(const std::string& folder, std::unique_ptr<CacheSource> source, CacheSpan span) {
        bool fresh = false;
        for (const std::string& index : span.indexes) {
            fresh = spanIndexes.insert(index).second || fresh;
        }
        fileFolders.insert(span.fileFolders.begin(), span.fileFolders.end());
        for (std::string& problem : span.problems) {
            found.problems.push_back(std::move(problem));
        }
        if (!fresh) {
            return;
        }
        if (found.leftoverFolder.empty()) {
            found.leftoverFolder = folder;
        }
        found.sources.push_back(std::move(source));
    }

    // The real folders in folder, by name: a link could lead out of the folder given, or in a
    // circle.
    std::vector<std::string> Subfolders(const std::string& folder) {
        std::vector<std::string> children;
        const auto items = files.ListFolder(folder, {});
        if (!items) {
            return children;
        }
        for (const FolderItem& item : *items) {
            if ((item.attributes & kAttributeDirectory) != 0 &&
                (item.attributes & kAttributeReparsePoint) == 0) {
                children.push_back(item.name);
            }
        }
        std::sort(children.begin(), children.end());  // the same caches in the same order
        return children;
    }

    void Visit(const std::string& folder, std::string_view name, int level, bool given) {
        if (IsSharedObjectsName(name)) {
            found.saveFolders.push_back(folder);
            return;
        }
        // Chrome's own Flash keeps its saves a level below the deepest a cache is looked for
        // from a Wine prefix: there, only they are looked for.
        if (++visited > kMostFolders || Recognise(folder, name, given) ||
            level >= kDeepestLevel + 1 || fileFolders.contains(folder)) {
            return;
        }
        for (const std::string& child : Subfolders(folder)) {
            const std::string lowered = LoweredAscii(child);
            if (level < kDeepestLevel || IsSharedObjectsName(lowered)) {
                Visit(folder + "/" + child, lowered, level + 1, false);
            }
        }
    }
};

}  // namespace

const std::vector<CacheFormat>& CacheFormats() {
    static const std::vector<CacheFormat> formats = {
        {kInternetExplorerSource, WininetName, IsWininetCache, OpenWininet, ExplainWininet,
         WininetSpan},
        {"Chrome (simple cache)", ChromiumName, IsChromiumSimpleCache, OpenChromiumSimple, nullptr,
         nullptr},
        {"Chrome (block files)", ChromiumName, IsChromiumBlockFileCache, OpenChromiumBlockFile,
         nullptr, nullptr},
        {"Firefox (cache2)", FirefoxCache2Name, IsFirefoxCache2, OpenFirefoxCache2, nullptr,
         nullptr},
        {"Firefox (before version 32)", FirefoxV1Name, IsFirefoxCacheV1, OpenFirefoxV1, nullptr,
         nullptr},
        {"Internet Explorer 10/11 (WebCache)", WebCacheName, webcache::IsWebCacheFolder,
         OpenWebCache, nullptr, nullptr},
    };
    return formats;
}

FoundCaches FindCaches(FileOps& files, const std::string& root, const CacheOpenOptions& options) {
    Walk walk{files, options, {}, {}, 0, {}};
    if (root.empty()) {
        return {};
    }
    std::string start = root;
    while (start.size() > 1 && start.back() == '/') {
        start.pop_back();
    }
    walk.Visit(start, LoweredAscii(start.substr(start.rfind('/') + 1)), 0, true);
    if (walk.found.sources.empty()) {
        // Say what stood where the folder given should have had a cache's files.
        for (const CacheFormat& format : CacheFormats()) {
            if (format.explain != nullptr) {
                format.explain(start, walk.found.problems);
            }
        }
    }
    if (walk.visited > kMostFolders) {
        walk.found.problems.push_back("only the first " + std::to_string(kMostFolders) +
                                      " folders under " + root + " were searched for caches");
    }
    return std::move(walk.found);
}

}  // namespace pellimor
