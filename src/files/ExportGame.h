// Export of a game whole: the movie and every cached file it needs under their addresses
// (DIR/<name>/content/<host>/<path>) and a description (DIR/<name>/meta.yaml), in the layout
// web-game archives take. The cache is only read; nothing in DIR is ever overwritten.
#pragma once

#include <cstddef>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "catalogue/SwfEntry.h"
#include "files/Curation.h"
#include "files/ExportIndex.h"
#include "files/GameFiles.h"
#include "files/NumberedWrite.h"
#include "ports/CacheSource.h"
#include "ports/Decompressor.h"
#include "ports/ExportFolder.h"
#include "ports/FileOps.h"
#include "ports/Result.h"
#include "ports/SaveFile.h"

namespace pellimor {

struct ExportServices {
    CacheSource& cache;
    FileOps& files;  // reads the bodies kept as files of their own
    Decompressor& decompressor;
    ExportFolder& folder;
    // Flash Player's saves found beside the caches: a movie's own go with it.
    const std::vector<FoundSave>* saves = nullptr;
    // What a game saved while it played here (the player's key, the bytes): kept beside the
    // saves found.
    const std::vector<std::pair<std::string, std::string>>* played = nullptr;
};

struct GameExport {
    std::string folder;    // the game's folder in the export folder
    std::string metaFile;  // "meta.yaml", or a numbered name when another was there
    bool playable = false;
    std::size_t files = 0;             // written or found there already, identical
    std::vector<std::string> missing;  // addresses the cache does not hold
    std::vector<std::string> notes;    // everything meta.yaml says in its Notes
    std::string pageAddress;           // the page the movie was embedded in, when found
    // Why the archive would not take the curation yet (no language, no tags); empty: ready
    // as far as meta.yaml and content go.
    std::vector<std::string> notReady;
    // The files written or kept, as paths below the game's folder ("content/...", "meta.yaml").
    std::vector<std::string> written;
    int stageWidth = 0;  // pixels, from the movie's header; 0 when unknown
    int stageHeight = 0;
};

// The folder name of a game: its display name made a file name (as a path segment, without
// decoding), numbered "name01", "name02" ... when this export used it for another movie.
std::string GameFolderName(const std::string& displayName, std::set<std::string>& used);

// The languages the cache tells for a movie (its page's lang attribute, else the
// Content-Language sent with the page or the movie), and the Curation Notes line saying so.
struct CachedLanguages {
    std::string codes;  // "en; fr"
    std::string from;
};
std::optional<CachedLanguages> LanguagesInCache(const SwfEntry& movie, const ExportIndex& index,
                                                ExportServices& services);

// Puts the curation's pictures (PNG bytes) beside its meta.yaml, into done.written; a picture
// there already (chosen by hand, say) is kept. What could not be written goes to notReady.
void PutCurationPictures(ExportFolder& folder, GameExport& done, std::string_view logo,
                         std::string_view screenshot);

// Exports one movie into services.folder under folderName: works out the game's files
// (PlanGame), writes them, then its meta.yaml. Fails only when nothing could be written; a
// file that could not be read or written is a note.
Result<GameExport> ExportGame(const SwfEntry& movie, const std::string& folderName,
                              const ExportIndex& index, ExportServices& services,
                              const CurationChoices& choices = {});

}  // namespace pellimor
