// Firefox's cache2 (Firefox 32 and later) as a cache source: one file per entry, the body
// first and the entry's metadata after it.
#pragma once

#include <memory>
#include <string>

#include "platform/fileops/HeldFolder.h"
#include "ports/CacheSource.h"

namespace pellimor {

class FirefoxCache2 : public CacheSource {
  public:
    // folder is a cache2 folder (entries/ inside it) or a flat folder of entry files.
    static Result<std::unique_ptr<FirefoxCache2>> Open(const std::string& folder);

    std::string_view Name() const override { return kFirefoxSource; }
    const std::string& Location() const override { return location_; }
    Status Enumerate(const std::function<bool(const CacheEntry&)>& visit) override;
    Result<CacheBody> ReadBody(const EntryId& id, std::uint64_t limit) override;
    Result<StreamedBody> StreamBody(const EntryId& id, std::uint64_t limit,
                                    const ByteSink& sink) override;
    std::vector<Status> DeleteEntries(const std::vector<CacheEntryRef>& chosen) override;
    Status CanDelete() override;

  private:
    FirefoxCache2(std::string location, std::string entries)
        : location_(std::move(location)),
          entries_(std::move(entries)),
          held_(HeldFolder::Open(entries_)) {}

    std::string location_;     // the cache folder, resolved
    std::string entries_;      // the folder of entry files, resolved (within location_)
    Result<HeldFolder> held_;  // that folder as found: deletes work within it
};

}  // namespace pellimor
