#include "app/Session.h"

#include <cstdlib>

#include "platform/cachefolder/CacheFolder.h"
#include "platform/cachefolder/CacheFormats.h"
#include "platform/saves/SaveFinder.h"

namespace pellimor {

Session::Session(const ProgramOptions& options)
    : cacheFolder_(GetSpecialFolderPath(CacheFolderInputsFromEnvironment(options.cacheFolder))),
      registry_(DefaultHivePath()),
      listing_{cache_, files_, [this] { return leftoverFolder_; }} {
    FoundCaches found =
        FindCaches(files_, cacheFolder_.value_or(""), {options.codePage, options.readOnly});
    for (auto& source : found.sources) {
        cache_.Add(std::move(source));
    }
    problems_ = std::move(found.problems);
    FoundSaves saves;
    for (const std::string& folder : found.saveFolders) {
        FindSaves(folder, saves);
    }
    saves_ = std::move(saves.saves);
    saveProblems_ = std::move(saves.problems);
    // Leftover files are looked for where WinINet keeps its files; with no WinINet cache
    // found, in the folder given, as before any cache was found there.
    leftoverFolder_ = found.leftoverFolder.empty() ? cacheFolder_ : found.leftoverFolder;
    // Every file taken from the cache must lie within its folder, as resolved now.
    files_.ConfineTo(cacheFolder_.value_or(""));
}

std::string Session::defaultSaveFolder() const {
    const char* home = std::getenv("HOME");
    return home != nullptr && *home != '\0' ? home : "/";
}

}  // namespace pellimor
