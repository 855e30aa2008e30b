// The page that embedded a movie: many movies need what their page gave them (parameters,
// the base address, the size). Pages come from strangers' caches, so the scanner is bounded
// and forgiving: huge attributes, unterminated tags and script soup end in fewer findings,
// never in a long stall.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pellimor {

// What a page is scanned up to; the rest of a larger page is not looked at.
inline constexpr std::size_t kLargestPageScanned = 4u << 20;
// A tag or a call longer than this is passed over.
inline constexpr std::size_t kLongestTag = 64u << 10;
// At most this many embeddings are taken from one page.
inline constexpr std::size_t kMostEmbeddings = 256;

struct Embedding {
    std::string embeddedWith;  // "object", "embed" or "swfobject.embedSWF"
    std::string movie;         // the movie's address as the page writes it (entities decoded)
    std::string flashvars;
    std::string base;
    std::string width;
    std::string height;
};

// Every movie the HTML text embeds with <object data=..>/<param name="movie">, <embed src=..>
// or swfobject.embedSWF(url, id, width, height, version, express, flashvars, params), in
// the order met.
std::vector<Embedding> FindEmbeddings(std::string_view html);

}  // namespace pellimor
