// Deleting the selected movies: cache entries from the cache, leftover files from the disk.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "catalogue/CacheScan.h"
#include "ports/Prompts.h"

namespace pellimor {

struct DeleteOutcome {
    bool confirmed = false;
    std::vector<std::string> deleted;  // addresses or paths
    // Beside each of deleted: what the user should know of it (an entry whose file stays,
    // and why), or empty.
    std::vector<std::string> notes;
    std::vector<std::string> problems;  // what could not be deleted, and why
};

// Asks once, deletes, then lists the current site again.
DeleteOutcome OnDelete(ListingState& state, std::span<const std::int32_t> selectedKeys,
                       ListingServices& services, Prompts& prompts);

// Whether path lies inside folder: below it, with no "." or ".." steps.
bool IsInsideFolder(const std::string& path, const std::string& folder);

}  // namespace pellimor
