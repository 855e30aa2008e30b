#include "files/SettingsStore.h"

namespace pellimor {

namespace {

std::string StatusText(long status) {
    switch (status) {
        case kStatusFileNotFound:
            return "the key does not exist";
        case kStatusAccessDenied:
            return "access denied";
        case kStatusInvalidData:
            return "invalid data";
        case kStatusMoreData:
            return "more data than the setting can hold";
        default:
            return "status " + std::to_string(status);
    }
}

SettingOutcome Failed(Registry& registry, long status) {
    std::string problem = registry.LastProblem();
    return {status, problem.empty() ? StatusText(status) : problem};
}

}  // namespace

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

SettingOutcome SetSavePath(Registry& registry, const std::string& folder) {
    // A folder that would read back as absent is refused rather than stored.
    if (folder.empty()) {
        return {kStatusInvalidData, "an empty folder name cannot be stored"};
    }
    if (folder.find('\0') != std::string::npos) {
        return {kStatusInvalidData, "a folder name with a zero byte cannot be stored"};
    }
    if (folder.size() + 1 > kRegistryReadLimit) {
        return {kStatusMoreData, "the folder name is longer than the 1,023 bytes a setting holds"};
    }
    std::string probe;
    RegReadString(registry, kCompanionKey, kSavePathValue, probe);
    long status = kStatusSuccess;
    if (!probe.empty()) {
        status = RegWriteString(registry, kCompanionKey, kSavePathValue, folder);
    } else {
        const long ensured = RegEnsureKey(registry, kOwnKey);
        if (ensured != kStatusSuccess) {
            return Failed(registry, ensured);
        }
        status = RegWriteString(registry, kOwnKey, kSavePathValue, folder);
    }
    if (status != kStatusSuccess) {
        return Failed(registry, status);
    }
    const std::string stored = GetSavePath(registry, std::string());
    if (stored != folder) {
        std::string problem = registry.LastProblem();
        return {kStatusInvalidData, "the folder was written but reads back as \"" + stored + "\"" +
                                        (problem.empty() ? std::string() : " (" + problem + ")")};
    }
    return {};
}

}  // namespace pellimor
