#include "files/GameFiles.h"

#include <deque>
#include <unordered_set>

#include "catalogue/SwfFacts.h"
#include "files/ExportGame.h"
#include "sites/Addresses.h"
#include "sites/ResolveAddress.h"

namespace pellimor {

namespace {

constexpr std::uint64_t kLargestFile = 512ULL << 20;

bool IsMovie(std::string_view bytes) {
    const std::string_view start = bytes.substr(0, 3);
    return start == "FWS" || start == "CWS" || start == "ZWS";
}

}  // namespace

Result<CacheBody> ReadGameFile(const CachedFile& file, GameFileServices& s, std::uint64_t limit) {
    if (!file.localPath.empty()) {
        auto bytes = s.files.ReadFile(file.localPath, limit);
        if (!bytes) {
            return Fail(bytes.error().empty() ? file.localPath + ": cannot be read"
                                              : bytes.error());
        }
        return CacheBody{std::move(*bytes), false};
    }
    return s.cache.ReadBody(file.id, limit);
}

GameFileList FindGameFiles(const SwfEntry& movie, const ExportIndex& index, GameFileServices& s) {
    GameFileList out;
    struct Load {
        std::string address;
        int depth = 0;
    };
    std::deque<Load> queue{{movie.url, 0}};
    std::unordered_set<std::string> seen{CanonicalAddress(movie.url)};
    while (!queue.empty() && out.files.size() < kMostGameFiles) {
        const Load load = std::move(queue.front());
        queue.pop_front();
        std::optional<CachedFile> file;
        if (load.depth == 0) {
            file = CachedFile{movie.localPath, {}, movie.id, movie.lastModifiedTime};
        } else {
            file = index.Find(load.address);
        }
        if (!file) {
            out.missing.push_back(load.address);
            continue;
        }
        auto body = ReadGameFile(*file, s, kLargestFile);
        if (!body) {
            out.missing.push_back(load.address);
            continue;
        }
        out.files.push_back(GameFile{load.address, *file});
        if (!IsMovie(body->bytes) || load.depth >= kDeepestLoad) {
            continue;
        }
        const SwfFacts facts = ReadSwfFacts(body->bytes, s.decompressor);
        for (const std::string& found : facts.addresses) {
            std::string address = ResolveAddress(load.address, found);
            if (IsWebAddress(address) && seen.insert(CanonicalAddress(address)).second) {
                queue.push_back(Load{std::move(address), load.depth + 1});
            }
        }
    }
    if (const auto page = index.PageOf(movie.url, movie.site)) {
        if (const auto file = index.Find(page->pageUrl);
            file && seen.insert(CanonicalAddress(page->pageUrl)).second) {
            out.files.push_back(GameFile{page->pageUrl, *file});
            out.page = page->pageUrl;
        }
    }
    return out;
}

}  // namespace pellimor
