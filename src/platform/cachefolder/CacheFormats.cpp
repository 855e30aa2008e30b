#include "platform/cachefolder/CacheFormats.h"

#include <dirent.h>
#include <sys/stat.h>

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
    const CacheOpenOptions& options;
    FoundCaches found;
    std::set<std::string> wininetIndexes;  // containers already read through another folder
    std::size_t visited = 0;
    // The folders of WinINet's containers: their sub-folders hold the cached files (and the
    // leftovers, which may be many thousands), never another cache.
    std::set<std::string> containerFolders;

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
            if (auto* wininet = dynamic_cast<IndexDatCache*>(source.get())) {
                bool fresh = false;
                for (const ContainerLocation& container : wininet->containers()) {
                    fresh = wininetIndexes.insert(container.indexPath).second || fresh;
                    containerFolders.insert(container.folder);
                }
                for (const std::string& problem : wininet->unusable()) {
                    found.problems.push_back(problem);
                }
                if (!fresh) {
                    continue;
                }
                if (found.wininetFolder.empty()) {
                    found.wininetFolder = folder;
                }
                found.sources.push_back(std::move(source));
                continue;  // history and cookies sit beside the content; keep walking
            }
            found.sources.push_back(std::move(source));
            return true;
        }
        return false;
    }

    void Visit(const std::string& folder, std::string_view name, int level, bool given) {
        if (IsSharedObjectsName(name)) {
            found.saveFolders.push_back(folder);
            return;
        }
        // Chrome's own Flash keeps its saves a level below the deepest a cache is looked for
        // from a Wine prefix: there, only they are looked for.
        if (++visited > kMostFolders || Recognise(folder, name, given) ||
            level >= kDeepestLevel + 1 || containerFolders.contains(folder)) {
            return;
        }
        DIR* dir = ::opendir(folder.c_str());
        if (dir == nullptr) {
            return;
        }
        std::vector<std::string> children;
        while (const dirent* entry = ::readdir(dir)) {
            const std::string_view child = entry->d_name;
            if (child == "." || child == "..") {
                continue;
            }
            // Only real folders: a link could lead out of the folder given, or in a circle.
            if (entry->d_type == DT_DIR) {
                children.emplace_back(child);
            } else if (entry->d_type == DT_UNKNOWN) {
                struct stat info {};
                const std::string path = folder + "/" + std::string(child);
                if (::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
                    children.emplace_back(child);
                }
            }
        }
        ::closedir(dir);
        std::sort(children.begin(), children.end());  // the same caches in the same order
        for (const std::string& child : children) {
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
        {kInternetExplorerSource, WininetName, IsWininetCache, OpenWininet, ExplainWininet},
        {"Chrome (simple cache)", ChromiumName, IsChromiumSimpleCache, OpenChromiumSimple, nullptr},
        {"Chrome (block files)", ChromiumName, IsChromiumBlockFileCache, OpenChromiumBlockFile,
         nullptr},
        {"Firefox (cache2)", FirefoxCache2Name, IsFirefoxCache2, OpenFirefoxCache2, nullptr},
        {"Firefox (before version 32)", FirefoxV1Name, IsFirefoxCacheV1, OpenFirefoxV1, nullptr},
        {"Internet Explorer 10/11 (WebCache)", WebCacheName, webcache::IsWebCacheFolder,
         OpenWebCache, nullptr},
    };
    return formats;
}

FoundCaches FindCaches(const std::string& root, const CacheOpenOptions& options) {
    Walk walk{options, {}, {}, 0, {}};
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
