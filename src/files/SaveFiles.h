// Saves written out: a movie's found saves kept with its exported game
// (DIR/<game>/saves/<host>/<path>/<name>.sol, byte for byte), and the saves a game made
// while it played written into the save folder (<host>/<path>/<name>.sol). Never over a
// file: an identical one is kept, a different one makes the save take a numbered name
// ("progress01.sol"). Every path is built from checked segments below the folder.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "catalogue/SwfEntry.h"
#include "ports/ExportFolder.h"
#include "ports/SaveFile.h"

namespace pellimor {

struct WrittenSave {
    std::string name;  // the save's name, or Ruffle's key for one that could not be written
    std::string path;  // where it went, below the folder; empty when it could not be written
    std::string error;
};

// The saves of the movie, into gameFolder/saves; one note each for meta.yaml.
std::vector<WrittenSave> ExportMovieSaves(const SwfEntry& movie, const std::string& gameFolder,
                                          const std::vector<FoundSave>& saves, ExportFolder& folder,
                                          std::vector<std::string>& notes);

// The saves the movie made while it played here (the player's key and the save's bytes), into
// gameFolder/saves beside those found: one that differs from a found save takes a numbered
// name. One note each for meta.yaml.
std::vector<WrittenSave> ExportPlayedSaves(
    const SwfEntry& movie, const std::string& gameFolder,
    const std::vector<std::pair<std::string, std::string>>& played, ExportFolder& folder,
    std::vector<std::string>& notes);

// The saves of the player's storage (Ruffle's key and the save's bytes), into the folder.
std::vector<WrittenSave> WritePlayedSaves(
    const std::vector<std::pair<std::string, std::string>>& played, ExportFolder& folder);

}  // namespace pellimor
