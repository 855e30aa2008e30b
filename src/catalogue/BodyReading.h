// A cached file's body read as far as the question needs: the start of it for a movie's
// facts or a page's embeddings, all of it in pieces for a copy. Either way memory follows
// what is kept, whatever the body decodes to.
#pragma once

#include <cstdint>
#include <string>

#include "catalogue/CacheAddressBook.h"
#include "ports/ByteSink.h"
#include "ports/CacheSource.h"
#include "ports/FileOps.h"

namespace pellimor {

// The most a body may decode to when it is copied whole: a movie states its length in 32
// bits, so nothing longer is one.
inline constexpr std::uint64_t kLargestMovieBody = 0xFFFFFFFFull;
// So much of a body is read for a movie's facts: its header and its tags as far as they go
// within it. A larger movie's facts stop there, and say so.
inline constexpr std::uint64_t kFactsReadLimit = 64ULL << 20;

struct BodyStart {
    std::string bytes;       // the first bytes of the body, decoded
    bool whole = true;       // nothing follows them
    bool truncated = false;  // the cache holds fewer bytes than were sent
};

// The first most bytes of file's body (its own file through files, else its body inside
// cache, which may be null for files outside any cache).
Result<BodyStart> ReadBodyStart(CacheSource* cache, FileOps& files, const CachedFile& file,
                                std::uint64_t most);

// All of file's body handed to sink in pieces, at most limit bytes.
Result<StreamedBody> StreamBodyOf(CacheSource* cache, FileOps& files, const CachedFile& file,
                                  std::uint64_t limit, const ByteSink& sink);

}  // namespace pellimor
