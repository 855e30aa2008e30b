// The one remembered setting, the save folder: "SavePath" of the companion program's key
// when that holds a folder, else of the program's own key.
#pragma once

#include <string>

#include "ports/Registry.h"

namespace pellimor {

inline constexpr const char* kCompanionKey = "Software\\Tavrik\\Marrowby";
inline constexpr const char* kOwnKey = "Software\\Tavrik\\Pellimor";
inline constexpr const char* kSavePathValue = "SavePath";
constexpr std::size_t kRegistryReadLimit = 1024;  // bytes, terminator included

long RegReadString(Registry& registry, const std::string& key, const std::string& name,
                   std::string& text);
long RegWriteString(Registry& registry, const std::string& key, const std::string& name,
                    const std::string& text);
bool RegKeyExists(Registry& registry, const std::string& key);
long RegEnsureKey(Registry& registry, const std::string& key);

// What storing the save folder came to: status 0, or the first failing status and why.
struct SettingOutcome {
    long status = kStatusSuccess;
    std::string problem;  // for the user; empty on success
    bool ok() const { return status == kStatusSuccess; }
};

// The save folder, never empty: defaultFolder when neither key holds one.
std::string GetSavePath(Registry& registry, const std::string& defaultFolder);
// Stores the folder where GetSavePath reads it first, and checks that it reads back.
SettingOutcome SetSavePath(Registry& registry, const std::string& folder);

}  // namespace pellimor
