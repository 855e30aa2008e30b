#include "files/SettingsStore.h"

namespace pellimor {

long RegReadString(Registry& registry, const std::string& key, const std::string& name,
                   std::string& text) {
    RegistryValue value;
    const long status = registry.QueryValue(key, name, value);
    if (status != kStatusSuccess) {
        return status;
    }
    if (value.data.size() + 1 > kRegistryReadLimit) {
        return kStatusMoreData;
    }
    if (value.type != kRegSz) {
        return kStatusInvalidData;
    }
    text = value.data.substr(0, value.data.find('\0'));
    return kStatusSuccess;
}

long RegWriteString(Registry& registry, const std::string& key, const std::string& name,
                    const std::string& text) {
    return registry.SetValue(key, name, RegistryValue{kRegSz, text});
}

bool RegKeyExists(Registry& registry, const std::string& key) {
    return registry.KeyExists(key);
}

long RegEnsureKey(Registry& registry, const std::string& key) {
    return RegKeyExists(registry, key) ? kStatusSuccess : registry.CreateKey(key);
}

std::string GetSavePath(Registry& registry, const std::string& defaultFolder) {
    std::string folder;
    RegReadString(registry, kCompanionKey, kSavePathValue, folder);
    if (folder.empty()) {
        RegReadString(registry, kOwnKey, kSavePathValue, folder);
    }
    return folder.empty() ? defaultFolder : folder;
}

void SetSavePath(Registry& registry, const std::string& folder) {
    std::string probe;
    RegReadString(registry, kCompanionKey, kSavePathValue, probe);
    if (!probe.empty()) {
        RegWriteString(registry, kCompanionKey, kSavePathValue, folder);
        return;
    }
    RegEnsureKey(registry, kOwnKey);
    RegWriteString(registry, kOwnKey, kSavePathValue, folder);
}

}  // namespace pellimor
