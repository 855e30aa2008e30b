// The real services of one run of the program: this machine's files, every browser cache
// under the folder the user named, and the settings hive, wired to the core.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/PlatformTools.h"
#include "catalogue/CacheProfile.h"
#include "catalogue/CacheScan.h"
#include "operations/OperationServices.h"
#include "platform/fileops/PosixFileOps.h"
#include "platform/registry/HiveRegistry.h"
#include "ports/SaveFile.h"

namespace pellimor {

class Session {
  public:
    explicit Session(const ProgramOptions& options);

    // The folder the caches were looked for in (--cache, or the default location).
    const std::optional<std::string>& cacheFolder() const { return cacheFolder_; }
    ListingServices& listing() { return listing_; }
    FileOps& files() { return files_; }
    Registry& registry() { return registry_; }
    CacheProfile& cache() { return cache_; }
    // What stood where a cache file was expected but could not be one.
    const std::vector<std::string>& problems() const { return problems_; }
    // Flash Player's saves found beside the caches, read once at start.
    const std::vector<FoundSave>& saves() const { return saves_; }
    // What could not be read of them.
    const std::vector<std::string>& saveProblems() const { return saveProblems_; }
    // Where movies go when no save folder is stored: the home folder.
    std::string defaultSaveFolder() const;
    PlatformTools& tools() { return tools_; }
    // What the operations work through, for both front ends.
    OperationServices operations() {
        return {listing_, registry_, tools_.decompressor, tools_.exportFolders, defaultSaveFolder(),
                &saves_};
    }

  private:
    PosixFileOps files_;
    std::optional<std::string> cacheFolder_;
    std::optional<std::string> leftoverFolder_;  // the WinINet cache's folder, when one is found
    CacheProfile cache_;
    std::vector<std::string> problems_;
    std::vector<FoundSave> saves_;
    std::vector<std::string> saveProblems_;
    HiveRegistry registry_;
    ListingServices listing_;
    PlatformTools tools_;
};

}  // namespace pellimor
