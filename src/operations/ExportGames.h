// Export of the chosen games, each whole in a folder of its own with its description and
// pictures, as both front ends run it: the folder opened, the cache's index read once, the
// curation's values asked for game by game where the user gives them, every failure returned.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/SwfCatalogue.h"
#include "files/ExportGame.h"
#include "operations/OperationServices.h"
#include "ports/Prompts.h"
#include "ports/Result.h"

namespace pellimor {

struct ExportChoice {
    std::vector<std::int32_t> keys;  // the chosen movies
    std::string folder;              // where the games go; empty: nowhere (a web archive only)
    CurationChoices curation;
    // Ask for each game's tags, and its languages where the cache tells none; a cancel ends
    // the export there.
    bool askEachGame = false;
    // What the game playing in the preview saved (the player's key, the bytes): each goes
    // with its own movie, beside the saves found.
    std::vector<std::pair<std::string, std::string>> played;
};

struct GamePictures {
    std::string logo;  // PNG
    std::string screenshot;
};

// What the front end adds to the export and hears of it, game by game.
class ExportProgress {
  public:
    virtual ~ExportProgress() = default;
    // The cache could be read only in part: what it holds is exported all the same.
    virtual void CacheReadInPart(const std::string& /*why*/) {}
    // Before a chosen movie is exported, with the cache's index.
    virtual void Starting(const SwfEntry& /*movie*/, const ExportIndex& /*index*/) {}
    // The movie's pictures at this stage size; a failure says why there are none.
    virtual Result<GamePictures> TakePictures(const SwfEntry& movie, int width, int height) = 0;
    // The game's files and description written, before its pictures are taken.
    virtual void Written(const SwfEntry& /*movie*/, const GameExport& /*game*/) {}
    // The game with its pictures; game.notReady says all it lacks.
    virtual void Finished(const SwfEntry& /*movie*/, const GameExport& /*game*/,
                          ExportFolder& /*folder*/) {}
    // Nothing of the game could be written.
    virtual void Failed(const SwfEntry& /*movie*/, const std::string& /*why*/) {}
};

struct ExportOutcome {
    Status cacheRead;               // failed: the cache was read in part
    std::vector<GameExport> games;  // exported, in the order chosen, with their pictures
    // The games of which nothing could be written: display name, why.
    std::vector<std::pair<std::string, std::string>> failed;
    bool cancelled = false;  // the user stopped at a question
};

// Fails, exporting nothing, when the folder takes no files.
Result<ExportOutcome> ExportGames(const SwfCatalogue& catalogue, const ExportChoice& choice,
                                  OperationServices& services, Prompts& prompts,
                                  ExportProgress& progress);

// The text with every "%1" replaced by value, as the window's texts are filled.
std::string FilledIn(std::string_view text, std::string_view value);

}  // namespace pellimor
