// Firefox's cache before version 32 (_CACHE_MAP_ and its block files) as a cache source,
// read-only: its map, block bitmaps and separate files must change together, and the
// Firefox that kept them is long gone, so nothing here is ever written.
#pragma once

#include <memory>
#include <string>

#include "ports/CacheSource.h"

namespace pellimor {

class FirefoxCacheV1 : public CacheSource {
  public:
    static Result<std::unique_ptr<FirefoxCacheV1>> Open(const std::string& folder);

    std::string_view Name() const override { return kFirefoxSource; }
    const std::string& Location() const override { return location_; }
    Status Enumerate(const std::function<bool(const CacheEntry&)>& visit) override;
    Result<CacheBody> ReadBody(const EntryId& id, std::uint64_t limit) override;
    Result<StreamedBody> StreamBody(const EntryId& id, std::uint64_t limit,
                                    const ByteSink& sink) override;
    std::vector<Status> DeleteEntries(const std::vector<CacheEntryRef>& chosen) override;
    Status CanDelete() override;

  private:
    explicit FirefoxCacheV1(std::string location) : location_(std::move(location)) {}

    std::string location_;  // the Cache folder, resolved
};

}  // namespace pellimor
