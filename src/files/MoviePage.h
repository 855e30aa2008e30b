// The cached page a movie was embedded in, as the players use it: the parameters, the base
// address and the size the page gave the movie. Many movies do nothing sensible without
// them. The values come from strangers' pages: each is bounded here, before any player sees
// it, and the lookup is read from the cache once per scan, not for every movie shown.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "files/EmbeddingIndex.h"
#include "ports/CacheSource.h"
#include "ports/FileOps.h"

namespace pellimor {

// Flash Player passed no more than about 64 KiB of flashvars on; longer ones are cut after
// the last whole parameter that fits.
inline constexpr std::size_t kLongestFlashvars = 64u << 10;
// A page or base address longer than this is not used.
inline constexpr std::size_t kLongestPageAddress = 4096;
// The largest size a page may give a movie, in pixels, as Flash's own stage limit.
inline constexpr int kLargestPageSize = 8191;

struct MoviePage {
    std::string pageUrl;
    std::string flashvars;  // as the page writes them (entities decoded), whole parameters only
    // The folder the movie's relative addresses are resolved in: the page's base resolved
    // against the page, or the page's own folder, as Flash Player in a browser had them.
    std::string base;
    int width = 0;  // pixels as the page gives them; 0 where it gives none or a percentage
    int height = 0;
};

// The bounded parameters of a page's embedding; none for a page with an unusable address.
std::optional<MoviePage> PlayParameters(const PageEmbedding& page);

// What the details' tooltip says of the page: one line each, control characters as blanks,
// long values cut short.
std::string MoviePageText(const MoviePage& page);

// The pages of a window's players: read from the cache on the first look after a scan and
// kept until the cache is said to have changed, shared like the address book.
class SharedMoviePages {
  public:
    // files reads the pages' bodies kept as files of their own; both may be null (no pages).
    SharedMoviePages(CacheSource* cache, FileOps* files) : cache_(cache), files_(files) {}

    // The first cached page of the movie's own site that embeds it.
    std::optional<MoviePage> Find(std::string_view movieUrl);
    // The cache may differ now: the next look reads it again.
    void CacheChanged() { current_ = false; }

    // How many times the cache was read.
    int builds() const { return builds_; }

  private:
    CacheSource* cache_;
    FileOps* files_;
    EmbeddingIndex index_;
    bool current_ = false;
    int builds_ = 0;
};

}  // namespace pellimor
