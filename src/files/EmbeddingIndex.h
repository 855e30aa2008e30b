// Which cached pages embed which movies: the cache's HTML pages read once, each address
// once, for the movies they embed. What the players and the export look a movie's page up in.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "files/EmbeddingPage.h"
#include "ports/CacheSource.h"
#include "ports/FileOps.h"

namespace pellimor {

// A movie as a cached page embeds it.
struct PageEmbedding {
    std::string pageUrl;
    std::string pageSite;
    Embedding embedding;
};

// The cache's pages read for an index: at most so many, and so many bytes of them (each page
// read as far as the scanner looks); the embeddings kept hold at most so many bytes. A cache
// of more pages has the first of them looked at.
inline constexpr std::size_t kMostPagesRead = 10000;
inline constexpr std::uint64_t kMostPageBytesRead = 128ULL << 20;
inline constexpr std::size_t kMostEmbeddingBytes = 32u << 20;

class EmbeddingIndex {
  public:
    // Reads the cache's HTML pages (bodies kept as files of their own through files); a page
    // that cannot be read embeds nothing we can see, the rest still count.
    Status Build(CacheSource& cache, FileOps& files);

    // The first cached page of site (in the cache's order) that embeds the movie of url,
    // compared as resolved against the page's address, exactly or without the query.
    std::optional<PageEmbedding> PageOf(std::string_view url, std::string_view site) const;

    // How many embeddings are kept (each movie and site once).
    std::size_t size() const { return kept_.size(); }

  private:
    void Keep(const std::string& movie, PageEmbedding found);

    // Each embedding once; the maps hold its place here by the embedded movie's canonical
    // address, and by that without its query.
    std::vector<PageEmbedding> kept_;
    std::size_t keptBytes_ = 0;
    std::unordered_map<std::string, std::vector<std::size_t>> embedded_;
    std::unordered_map<std::string, std::vector<std::size_t>> embeddedWithoutQuery_;
};

}  // namespace pellimor
