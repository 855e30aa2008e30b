#include "files/EmbeddingIndex.h"

#include <unordered_set>
#include <utility>

#include "catalogue/CacheAddressBook.h"
#include "sites/Addresses.h"
#include "sites/ParseUrl.h"
#include "sites/ResolveAddress.h"

namespace pellimor {

namespace {

// A page larger than this is not read; its first part is what a scan would look at anyway.
constexpr std::uint64_t kLargestPageRead = 16ULL << 20;

bool IsHtml(const CacheEntry& entry) {
    const std::string type =
        entry.typedByFileName ? ContentTypeFromHeaders(entry.headers) : entry.contentType;
    return type == "text/html" || type == "application/xhtml+xml";
}

}  // namespace

Status EmbeddingIndex::Build(CacheSource& cache, FileOps& files) {
    embedded_.clear();
    embeddedWithoutQuery_.clear();
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
    for (const auto& [url, file] : pages) {
        std::optional<std::string> html;
        std::string error;
        if (!file.localPath.empty()) {
            html = files.ReadFile(file.localPath, kLargestPageRead, error);
        } else if (auto body = cache.ReadBody(file.id, kLargestPageRead); body) {
            html = std::move(body->bytes);
        }
        if (!html) {
            continue;  // a page that cannot be read embeds nothing we can see
        }
        for (Embedding& e : FindEmbeddings(*html)) {
            const std::string movie = CanonicalAddress(ResolveAddress(url, e.movie));
            PageEmbedding found{url, SiteFromUrl(url), std::move(e)};
            embeddedWithoutQuery_[std::string(WithoutQuery(movie))].push_back(found);
            embedded_[movie].push_back(std::move(found));
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
        for (const PageEmbedding& page : found->second) {
            if (page.pageSite == site) {
                return page;
            }
        }
    }
    return std::nullopt;
}

}  // namespace pellimor
