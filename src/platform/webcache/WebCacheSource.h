// Internet Explorer 10/11 and the first Edge as a cache source, read-only: their index is
// the ESE database WebCache/WebCacheV01.dat (WebCacheV24.dat in early builds) under the
// user's AppData\Local\Microsoft\Windows, their bodies files in the 8-character folders of
// each content container. The containers' folders are Windows paths of the machine the disk
// came from; they are found below the user folder that holds this WebCache folder.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/webcache/CaseBlindFolder.h"
#include "platform/webcache/EsedbTables.h"
#include "ports/CacheSource.h"

namespace pellimor::webcache {

// Whether folder holds a WebCache database.
bool IsWebCacheFolder(const std::string& folder);

class WebCacheSource : public CacheSource {
  public:
    // What gives the rows: the database read with libesedb, or rows given by a test.
    using Rows = std::function<Status(const TableVisitor&)>;

    static Result<std::unique_ptr<WebCacheSource>> Open(const std::string& folder);
    // The source with rows from elsewhere: how the rows' checks are tried without ESE.
    static Result<std::unique_ptr<WebCacheSource>> WithRows(const std::string& folder, Rows rows);

    std::string_view Name() const override { return kInternetExplorerSource; }
    const std::string& Location() const override { return location_; }
    Status Enumerate(const std::function<bool(const CacheEntry&)>& visit) override;
    Result<CacheBody> ReadBody(const EntryId& id, std::uint64_t limit) override;
    std::vector<Status> DeleteEntries(const std::vector<CacheEntryRef>& chosen) override;
    Status CanDelete() override;
    Status EnumerateLeftovers(const std::function<bool(const std::string&)>& visit) override;

  private:
    WebCacheSource(std::string location, std::string userFolder, Rows rows);

    struct Stored {
        std::size_t folder = 0;  // in folders_
        std::string name;        // the file's name there
        std::optional<std::uint64_t> size;
    };

    std::string location_;    // the WebCache folder, resolved
    std::string userFolder_;  // the user folder holding it; empty when it is not known
    std::string database_;    // the database's path, for messages
    Rows rows_;
    bool read_ = false;
    std::vector<CaseBlindFolder> folders_;  // the content containers' folders of the last reading
    std::map<std::pair<std::string, std::uint64_t>, Stored> stored_;
    std::set<std::pair<std::size_t, std::string>> named_;  // files rows name, for leftovers
};

}  // namespace pellimor::webcache
