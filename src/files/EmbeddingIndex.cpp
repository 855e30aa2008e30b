#include "files/EmbeddingIndex.h"

#include <algorithm>
#include <unordered_set>
#include <utility>

#include "catalogue/BodyReading.h"
#include "catalogue/CacheAddressBook.h"
#include "sites/Addresses.h"
#include "sites/ParseUrl.h"
#include "sites/ResolveAddress.h"

namespace pellimor {

namespace {

bool IsHtml(const CacheEntry& entry) {
    const std::string type =
        entry.typedByFileName ? ContentTypeFromHeaders(entry.headers) : entry.contentType;
    return type == "text/html" || type == "application/xhtml+xml";
}

}  // namespace

void EmbeddingIndex::Keep(const std::string& movie, PageEmbedding found) {
    // Only the first page of a site is ever looked up: a later one of the same site would
    // only take memory, as would pages sharing one body.
    const auto firstOfSite = [this, &found](const auto& map, const std::string& key) {
        const auto held = map.find(key);
        return held == map.end() || std::none_of(held->second.begin(), held->second.end(),
                                                 [this, &found](std::size_t i) {
                                                     return kept_[i].pageSite == found.pageSite;
                                                 });
    };
    const std::string loose(WithoutQuery(movie));
    const bool newExact = firstOfSite(embedded_, movie);
    const bool newLoose = firstOfSite(embeddedWithoutQuery_, loose);
    const Embedding& e = found.embedding;
    const std::size_t size = movie.size() + loose.size() + found.pageUrl.size() +
                             found.pageSite.size() + e.movie.size() + e.flashvars.size() +
                             e.base.size() + e.width.size() + e.height.size() +
                             e.embeddedWith.size();
    if ((!newExact && !newLoose) || keptBytes_ + size > kMostEmbeddingBytes) {
        return;
    }
    keptBytes_ += size;
    kept_.push_back(std::move(found));
    if (newExact) {
        embedded_[movie].push_back(kept_.size() - 1);
    }
    if (newLoose) {
        embeddedWithoutQuery_[loose].push_back(kept_.size() - 1);
    }
}

Status EmbeddingIndex::Build(CacheSource& cache, FileOps& files) {
    embedded_.clear();
    embeddedWithoutQuery_.clear();
    kept_.clear();
    keptBytes_ = 0;
    // Only the pages are kept while the cache is listed; they are read after it.
    std::vector<std::pair<std::string, CachedFile>> pages;
    std::unordered_set<std::string> seen;
    const Status listed = cache.Enumerate([&](const CacheEntry& entry) {
        if (!entry.url || !IsHtml(entry)) {
            return true;
        }
        if (auto file = FileOfEntry(entry);
            file && seen.insert(CanonicalAddress(*entry.url)).second) {
            pages.emplace_back(*entry.url, std::move(*file));
        }
        return true;
    });
    std::uint64_t read = 0;
    std::size_t pagesRead = 0;
    for (const auto& [url, file] : pages) {
        if (pagesRead == kMostPagesRead || read >= kMostPageBytesRead) {
            break;  // the pages after these are not looked at: time stays bounded
        }
        ++pagesRead;
        // Only what the scanner looks at is read.
        Result<BodyStart> html = ReadBodyStart(&cache, files, file, kLargestPageScanned);
        if (!html) {
            continue;  // a page that cannot be read embeds nothing we can see
        }
        read += html->bytes.size();
        const std::string site = SiteFromUrl(url);
        for (Embedding& e : FindEmbeddings(html->bytes)) {
            const std::string movie = CanonicalAddress(ResolveAddress(url, e.movie));
            Keep(movie, PageEmbedding{url, site, std::move(e)});
        }
    }
    return listed;
}

std::optional<PageEmbedding> EmbeddingIndex::PageOf(std::string_view url,
                                                    std::string_view site) const {
    const std::string address = CanonicalAddress(url);
    for (const auto* map : {&embedded_, &embeddedWithoutQuery_}) {
        const auto found =
            map->find(map == &embedded_ ? address : std::string(WithoutQuery(address)));
        if (found == map->end()) {
            continue;
        }
        for (const std::size_t i : found->second) {
            if (kept_[i].pageSite == site) {
                return kept_[i];
            }
        }
    }
    return std::nullopt;
}

}  // namespace pellimor
