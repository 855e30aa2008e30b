// The real services of one run of the program: this machine's files, the user's URL
// cache and settings hive, wired to the core.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "app/CommandLine.h"
#include "catalogue/CacheScan.h"
#include "platform/fileops/PosixFileOps.h"
#include "platform/registry/HiveRegistry.h"
#include "platform/urlcache/IndexDatCache.h"

namespace pellimor {

class Session {
  public:
    explicit Session(const ProgramOptions& options);

    const std::optional<std::string>& cacheFolder() const { return cacheFolder_; }
    ListingServices& listing() { return listing_; }
    FileOps& files() { return files_; }
    Registry& registry() { return registry_; }
    IndexDatCache& cache() { return cache_; }
    // Where movies go when no save folder is stored: the home folder.
    std::string defaultSaveFolder() const;

  private:
    PosixFileOps files_;
    std::optional<std::string> cacheFolder_;
    IndexDatCache cache_;
    HiveRegistry registry_;
    ListingServices listing_;
};

}  // namespace pellimor
