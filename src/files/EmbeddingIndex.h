// Which cached pages embed which movies: the cache's HTML pages read once, each address
// once, for the movies they embed. What the players and the export look a movie's page up in.
#pragma once

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

class EmbeddingIndex {
  public:
    // Reads the cache's HTML pages (bodies kept as files of their own through files); a page
    // that cannot be read embeds nothing we can see, the rest still count.
    Status Build(CacheSource& cache, FileOps& files);

    // The first cached page of site (in the cache's order) that embeds the movie of url,
    // compared as resolved against the page's address, exactly or without the query.
    std::optional<PageEmbedding> PageOf(std::string_view url, std::string_view site) const;

  private:
    // By the embedded movie's canonical address, and by that without its query.
    std::unordered_map<std::string, std::vector<PageEmbedding>> embedded_;
    std::unordered_map<std::string, std::vector<PageEmbedding>> embeddedWithoutQuery_;
};

}  // namespace pellimor
