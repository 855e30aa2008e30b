// The URL cache of one browser profile: its cookie, history and content containers, read
// and changed the way the platform's own cache library reads and changes them.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ports/UrlCache.h"
#include "platform/urlcache/ContainerView.h"

namespace pellimor {

struct ContainerLocation {
    std::string indexPath;  // .../index.dat
    std::string folder;     // the folder holding it and its cache sub-folders
};

// The containers of the profile that cacheLocation belongs to, in the platform's order:
// cookies, history, content, then protected mode's content under Low. A folder that holds index.dat
// itself is one content container. An index that is not a regular file (a FIFO, a folder, a
// link to a device) is no container; problems, when given, says what stood there.
std::vector<ContainerLocation> FindContainers(const std::string& cacheLocation,
                                              std::vector<std::string>* problems = nullptr);

// The full local path of a record's cached file, decoded to UTF-8; nothing when the record
// names no file or names one outside the container's own sub-folders.
std::optional<std::string> LocalPathOf(const indexdat::ContainerView& view,
                                       const indexdat::RawUrlRecord& record,
                                       const std::string& folder, int codePage);

// A stored address decoded to UTF-8.
std::string DecodeUrl(std::string_view stored, int codePage);

class IndexDatCache : public UrlCache {
  public:
    // readOnly: never change anything, whatever the files allow (a copy kept as evidence).
    IndexDatCache(std::string cacheLocation, int codePage, bool readOnly = false);

    CacheStatus Enumerate(const std::function<bool(const CacheRecord&)>& visit) override;
    std::vector<CacheStatus> DeleteEntries(const std::vector<CacheEntryRef>& chosen) override;
    std::string ReadOnlyReason() override;
    // Deletes the first record with exactly this address, as the platform's delete by
    // address does.
    CacheStatus DeleteEntry(const std::string& url);

    const std::vector<ContainerLocation>& containers() const { return containers_; }
    // What stood where an index was expected but could not be one.
    const std::vector<std::string>& unusable() const { return unusable_; }

  private:
    std::vector<std::string> unusable_;  // before containers_: filled while they are found
    std::vector<ContainerLocation> containers_;
    int codePage_;
    bool readOnly_;
};

}  // namespace pellimor
