// What the operations reach the outside through: the ports, with the objects behind them built
// by the session, and the places the user keeps things.
#pragma once

#include <string>
#include <vector>

#include "catalogue/CacheScan.h"
#include "ports/Decompressor.h"
#include "ports/ExportFolders.h"
#include "ports/Registry.h"
#include "ports/SaveFile.h"

namespace pellimor {

struct OperationServices {
    ListingServices& listing;  // the cache and the file access
    Registry& registry;        // the stored save folder
    Decompressor& decompressor;
    ExportFolders& exportFolders;
    std::string defaultSaveFolder;  // used when no save folder is stored
    // Flash Player's saves found beside the caches; null when none were looked for.
    const std::vector<FoundSave>* saves = nullptr;
};

}  // namespace pellimor
