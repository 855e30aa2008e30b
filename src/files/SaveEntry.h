// Copying movies out of the cache under names that never overwrite a file.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "catalogue/SwfCatalogue.h"
#include "ports/CacheSource.h"
#include "ports/FileOps.h"
#include "ports/Prompts.h"
#include "ports/Registry.h"

namespace pellimor {

constexpr std::size_t kSelectionCapacity = 1000;  // m_selection: at most this many lines count

struct SaveServices {
    FileOps& files;
    Registry& registry;
    Prompts& prompts;
    std::string defaultFolder;   // used when no save folder is stored
    std::string folderOverride;  // non-empty: save here instead of the stored folder
    // Reads the bodies the cache keeps inside its own files; movies with a file of their
    // own are copied from it.
    CacheSource* cache = nullptr;
};

// What one call saved, for callers that report it.
struct SaveOutcome {
    std::vector<std::string> savedTo;
    std::vector<std::string> failed;  // name bases whose copy failed
    // Set when a copy failed because its folder takes no files (missing, not writable, full):
    // that folder. Save and Save All stop there, with the one message shown.
    std::string unusableFolder;
};

// 0 when the user cancelled Save As, 1 otherwise (a failed copy included). A failed copy shows
// the copy-failure text with the name base, and beneath it the system's reason and the folder.
int SaveEntry(const SwfEntry& entry, bool askUser, SaveServices& services, SaveOutcome* outcome);

// The handlers, over the keys of the selected lines in line order.
SaveOutcome OnSave(const SwfCatalogue& catalogue, std::span<const std::int32_t> selectedKeys,
                   SaveServices& services);
SaveOutcome OnSaveAs(const SwfCatalogue& catalogue, std::span<const std::int32_t> selectedKeys,
                     SaveServices& services);
SaveOutcome OnSaveAll(const SwfCatalogue& catalogue, SaveServices& services);

}  // namespace pellimor
