// Every cache found under the folder the user named, read as one: a Windows user folder or a
// Linux home holds the caches of several browsers, and a movie's files may be in any of them.
#pragma once

#include <memory>
#include <vector>

#include "ports/CacheSource.h"

namespace pellimor {

class CacheProfile : public CacheSource {
  public:
    CacheProfile() = default;
    explicit CacheProfile(std::vector<std::unique_ptr<CacheSource>> sources);

    // The profile adopts the sources; a source's entries keep its location as their source.
    void Add(std::unique_ptr<CacheSource> source);
    const std::vector<std::unique_ptr<CacheSource>>& sources() const { return sources_; }

    std::string_view Name() const override { return "all caches"; }
    const std::string& Location() const override { return location_; }
    // Each source in turn, in the order they were added; a source that fails leaves the
    // others to be read, and the failures are told together.
    Status Enumerate(const std::function<bool(const CacheEntry&)>& visit) override;
    Result<CacheBody> ReadBody(const EntryId& id, std::uint64_t limit) override;
    Result<StreamedBody> StreamBody(const EntryId& id, std::uint64_t limit,
                                    const ByteSink& sink) override;
    std::vector<Status> DeleteEntries(const std::vector<CacheEntryRef>& chosen) override;
    // Deleting is possible when some source allows it; otherwise why not.
    Status CanDelete() override;
    // Whether the entry's own source may be changed.
    Status CanDeleteEntry(const EntryId& id) override;
    Status EnumerateLeftovers(const std::function<bool(const std::string&)>& visit) override;
    std::optional<std::string> LeftoverFolderOf(const std::string& path) override;

  private:
    CacheSource* SourceOf(const EntryId& id) const;

    std::vector<std::unique_ptr<CacheSource>> sources_;
    std::string location_;
};

}  // namespace pellimor
