#include "app/Session.h"

#include <cstdlib>

#include "platform/cachefolder/CacheFolder.h"

namespace pellimor {

Session::Session(const ProgramOptions& options)
    : cacheFolder_(GetSpecialFolderPath(CacheFolderInputsFromEnvironment(options.cacheFolder))),
      cache_(cacheFolder_.value_or(""), options.codePage, options.readOnly),
      registry_(DefaultHivePath()),
      listing_{cache_, files_, [this] { return cacheFolder_; }} {
    // Every file taken from the cache must lie within its folder, as resolved now.
    files_.ConfineTo(cacheFolder_.value_or(""));
}

std::string Session::defaultSaveFolder() const {
    const char* home = std::getenv("HOME");
    return home != nullptr && *home != '\0' ? home : "/";
}

}  // namespace pellimor
