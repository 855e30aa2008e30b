// The URL cache of one WinINet profile (Internet Explorer, and every program using the
// platform's cache library, Wine's included): its cookie, history and content containers,
// read and changed the way that library reads and changes them.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/fileops/HeldFolder.h"
#include "platform/urlcache/ContainerLocations.h"
#include "platform/urlcache/ContainerView.h"
#include "platform/urlcache/IndexDatRecord.h"
#include "ports/CacheSource.h"

namespace pellimor {

// A record's identity as a cache source names it: the container and the record's offset.
EntryId IndexDatEntryId(const std::string& profile, const CacheRecord& record);

class IndexDatCache : public CacheSource {
  public:
    // readOnly: never change anything, whatever the files allow (a copy kept as evidence).
    IndexDatCache(std::string cacheLocation, int codePage, bool readOnly = false);

    std::string_view Name() const override { return kInternetExplorerSource; }
    const std::string& Location() const override { return location_; }
    Status Enumerate(const std::function<bool(const CacheEntry&)>& visit) override;
    // The entry's own cached file, read within its container's folder.
    Result<CacheBody> ReadBody(const EntryId& id, std::uint64_t limit) override;
    Result<StreamedBody> StreamBody(const EntryId& id, std::uint64_t limit,
                                    const ByteSink& sink) override;
    // Exactly the chosen records, never another with the same address; the entries of one
    // container are deleted together in one rewrite of it.
    std::vector<Status> DeleteEntries(const std::vector<CacheEntryRef>& chosen) override;
    // Whether the containers of cached files may be changed (a delete writes no other).
    Status CanDelete() override;
    // Whether the entry's own container may be changed.
    Status CanDeleteEntry(const EntryId& id) override;

    // Every live record in the containers' own order, in the reader's own terms.
    Status EnumerateRecords(const std::function<bool(const CacheRecord&)>& visit);
    // Deletes the first record with exactly this address, as the platform's delete by
    // address does.
    Status DeleteEntry(const std::string& url);

    const std::vector<ContainerLocation>& containers() const { return containers_; }
    // What stood where an index was expected but could not be one.
    const std::vector<std::string>& unusable() const { return unusable_; }

  private:
    using RawVisit = std::function<bool(const ContainerLocation&, const indexdat::ContainerView&,
                                        const indexdat::RawUrlRecord&)>;
    // Every live record of every container as stored, with the container it lies in.
    Status ForEachRawRecord(const RawVisit& visit);
    // The file an entry keeps its body in, and the resolved folder it must lie in.
    Result<std::pair<std::string, std::string>> BodyFileOf(const EntryId& id);

    std::string location_;
    std::vector<std::string> unusable_;  // before containers_: filled while they are found
    std::vector<ContainerLocation> containers_;
    std::vector<Result<HeldFolder>> held_;  // each container's folder, as found
    int codePage_;
    bool readOnly_;
};

}  // namespace pellimor
