// Flash Player's saves as both front ends handle them: the saves found listed with the movies
// they belong to, and the saves a game made while it played written into the save folder.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/SwfCatalogue.h"
#include "operations/OperationServices.h"
#include "ports/Result.h"

namespace pellimor {

struct SaveWithMovies {
    const FoundSave* save = nullptr;
    std::vector<const SwfEntry*> movies;  // the listed movies it belongs to
};

// The saves of a site (its name contains site; every save when empty) and, when chosen is
// given, of the chosen movies, in the order found, each with the movies it belongs to.
std::vector<SaveWithMovies> ListSaves(const std::vector<FoundSave>& saves,
                                      const SwfCatalogue& catalogue, const std::string& site,
                                      const std::set<std::int32_t>* chosen = nullptr);

// Those of the player's saves (the player's key, the bytes) that belong to one of the chosen
// movies.
std::vector<std::pair<std::string, std::string>> PlayedSavesOf(
    const std::vector<std::pair<std::string, std::string>>& played, const SwfCatalogue& catalogue,
    const std::vector<std::int32_t>& chosen);

struct PlayedSavesWritten {
    std::string folder;  // the save folder
    int written = 0;
    std::string problems;  // "name: why" lines of the saves not written
};

// The saves of the player's storage (Ruffle's key and the bytes) into the save folder. Fails,
// writing nothing, when there are none or the folder takes no files.
Result<PlayedSavesWritten> WriteSavesPlayed(
    const std::vector<std::pair<std::string, std::string>>& played, OperationServices& services);

}  // namespace pellimor
