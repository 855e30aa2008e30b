// Chromium's block-file cache as a cache source, read-only: its index and block files are
// shared records that Chromium alone may rewrite. Entries are found through the index's
// hash table and the chains behind it.
#pragma once

#include <string>

#include "ports/CacheSource.h"

namespace pellimor {

class ChromiumBlockFileCache : public CacheSource {
  public:
    explicit ChromiumBlockFileCache(std::string folder);

    std::string_view Name() const override { return kChromeSource; }
    const std::string& Location() const override { return folder_; }
    Status Enumerate(const std::function<bool(const CacheEntry&)>& visit) override;
    Result<CacheBody> ReadBody(const EntryId& id, std::uint64_t limit) override;
    Result<StreamedBody> StreamBody(const EntryId& id, std::uint64_t limit,
                                    const ByteSink& sink) override;
    std::vector<Status> DeleteEntries(const std::vector<CacheEntryRef>& chosen) override;
    Status CanDelete() override;
    // The f_ files that hold a movie by their first bytes and that no entry refers to.
    Status EnumerateLeftovers(const std::function<bool(const std::string&)>& visit) override;
    // This cache's folder, for a path EnumerateLeftovers gives.
    std::optional<std::string> LeftoverFolderOf(const std::string& path) override;

  private:
    std::string folder_;
};

}  // namespace pellimor
