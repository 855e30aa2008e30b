// Flash Player's saves under a "#SharedObjects" folder (its name in any case):
// "<random>/<host>/<path...>/<name>.sol", the layout of Flash Player on Windows and Linux
// and of Chrome's own Flash ("Pepper Data/Shockwave Flash/WritableRoot/#SharedObjects").
// The walk follows no link, opens no FIFO or device, and is bounded in depth, in files and
// in bytes; each save is opened once and read from that descriptor.
#pragma once

#include <string>
#include <vector>

#include "ports/SaveFile.h"

namespace pellimor {

inline constexpr std::uint64_t kLargestSave = 16ULL << 20;
inline constexpr std::size_t kMostSaves = 20'000;
inline constexpr std::uint64_t kMostSaveBytes = 256ULL << 20;

struct FoundSaves {
    std::vector<FoundSave> saves;
    std::vector<std::string> problems;  // what could not be read, for the user
};

// Appends the saves under the "#SharedObjects" folder to found, in name order.
void FindSaves(const std::string& sharedObjectsFolder, FoundSaves& found);

// Whether a folder of this lower-cased name holds Flash Player's saves.
bool IsSharedObjectsName(std::string_view loweredName);

}  // namespace pellimor
