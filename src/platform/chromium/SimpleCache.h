// Chromium's simple cache as a cache source: every `<16 hex>_0` file of the folder is an
// entry; deleting removes the entry's files while no program holds the folder (Chromium
// rebuilds its index when it finds files gone).
#pragma once

#include <string>

#include "platform/fileops/HeldFolder.h"
#include "ports/CacheSource.h"

namespace pellimor {

class ChromiumSimpleCache : public CacheSource {
  public:
    explicit ChromiumSimpleCache(std::string folder);

    std::string_view Name() const override { return kChromeSource; }
    const std::string& Location() const override { return folder_; }
    Status Enumerate(const std::function<bool(const CacheEntry&)>& visit) override;
    Result<CacheBody> ReadBody(const EntryId& id, std::uint64_t limit) override;
    Result<StreamedBody> StreamBody(const EntryId& id, std::uint64_t limit,
                                    const ByteSink& sink) override;
    std::vector<Status> DeleteEntries(const std::vector<CacheEntryRef>& chosen) override;
    Status CanDelete() override;

  private:
    // The resolved folder, or a failure saying why it cannot be read.
    Result<std::string> Root() const;
    // The path of one of this source's entry files named in id.
    Result<std::string> EntryPath(const EntryId& id, const std::string& root) const;
    Status DeleteOne(const CacheEntryRef& ref, const HeldFolder& held);

    std::string folder_;
    Result<HeldFolder> held_;  // the folder as found: every delete works within it
};

}  // namespace pellimor
