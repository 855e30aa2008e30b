// Which cached file answers an address: what a movie playing under its own address loads
// is looked up here, so that its levels, sounds and pictures come from the cache.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "ports/UrlCache.h"

namespace pellimor {

struct CachedFile {
    std::string localPath;
    std::string contentType;  // the media type the server sent, or empty
};

// The form in which two spellings of one address compare equal, as a browser writes an
// address it has resolved: scheme and host in lower case, no default port, "/" for an empty
// path, spaces, quotes, angle brackets and bytes outside ASCII percent-encoded, no fragment.
std::string CanonicalAddress(std::string_view url);

// The address without its query part.
std::string_view WithoutQuery(std::string_view url);

// The media type of a "Content-Type:" line in raw response headers, lower case, or empty.
std::string ContentTypeFromHeaders(std::string_view headers);

class CacheAddressBook {
  public:
    // Reads every record that has an address and a file; cookies and history are not
    // files a movie loads. The first record of an address wins, as in the cache's lookup.
    CacheStatus Build(UrlCache& cache);

    // The file of this address: the exact address first, then the first cached address
    // that is the same without its query part.
    std::optional<CachedFile> Find(std::string_view url) const;

    std::size_t size() const { return exact_.size(); }

  private:
    std::unordered_map<std::string, CachedFile> exact_;
    std::unordered_map<std::string, CachedFile> withoutQuery_;
};

}  // namespace pellimor
