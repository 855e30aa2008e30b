// Which cached file answers an address: what a movie playing under its own address loads
// is looked up here, so that its levels, sounds and pictures come from the cache.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "ports/CacheSource.h"
#include "sites/Addresses.h"

namespace pellimor {

struct CachedFile {
    std::string localPath;    // the body as a file of its own; empty: read through the cache
    std::string contentType;  // the media type the server sent, or empty
    EntryId id;               // the entry, for a body kept inside the cache's own files
    std::optional<UnixTime> time;
};

class CacheAddressBook {
  public:
    // Reads every entry that has an address and a body; cookies and history are not files
    // a movie loads. Within one cache the first entry of an address wins, as in the cache's
    // lookup; of several caches, the one that fetched it last.
    Status Build(CacheSource& cache);

    // The file of this address: the exact address first, then the first cached address
    // that is the same without its query part.
    std::optional<CachedFile> Find(std::string_view url) const;

    std::size_t size() const { return exact_.size(); }

  private:
    std::unordered_map<std::string, CachedFile> exact_;
    std::unordered_map<std::string, CachedFile> withoutQuery_;
};

}  // namespace pellimor
