// Which folders hold a Chromium cache, told by the magic numbers of their files, and the
// names inside them matched without regard to case (copies made through FAT sticks and zip
// files change it).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "ports/Result.h"

namespace pellimor {

// A simple cache: its `index` says so, or one of its `<16 hex>_0` files does.
bool IsChromiumSimpleCache(const std::string& folder);

// A block-file cache: its `index` carries the block-file index magic and a known version.
bool IsChromiumBlockFileCache(const std::string& folder);

namespace chromium {

// The names in a folder (regular entries and links alike), keyed by their lower-case form.
// When two names differ only in case, the first one read is kept.
using CaseBlindNames = std::unordered_map<std::string, std::string>;
Result<CaseBlindNames> ListCaseBlind(const std::string& folder);

// The name as it stands in the folder, or nothing.
std::optional<std::string> FindName(const CaseBlindNames& names, std::string_view lowerName);

// Whether name (already lower case) is 16 hex digits followed by suffix.
bool IsEntryFileName(std::string_view lowerName, std::string_view suffix);

}  // namespace chromium
}  // namespace pellimor
