// Save, Save As and Save All: copies of the chosen movies in the save folder (or where the user
// says), under names that never overwrite a file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/SwfCatalogue.h"
#include "files/SaveEntry.h"
#include "operations/OperationServices.h"
#include "ports/Prompts.h"

namespace pellimor {

struct SaveChoice {
    enum class Kind { kSave, kSaveAs, kSaveAll };
    Kind kind = Kind::kSave;
    // Save and Save As: the keys of the chosen lines in line order. Save All: the movies to
    // take in the catalogue's order; nothing means every movie listed.
    std::optional<std::vector<std::int32_t>> keys;
    std::string folder;  // non-empty: save here instead of the stored save folder
};

SaveOutcome SaveMovies(const SwfCatalogue& catalogue, const SaveChoice& choice,
                       OperationServices& services, Prompts& prompts);

}  // namespace pellimor
