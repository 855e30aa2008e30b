// The per-user settings hive as the core sees it, with the platform's status codes.
#pragma once

#include <cstdint>
#include <string>

namespace pellimor {

constexpr long kStatusSuccess = 0;
constexpr long kStatusFileNotFound = 2;
constexpr long kStatusAccessDenied = 5;
constexpr long kStatusInvalidData = 13;
constexpr long kStatusMoreData = 234;

constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegExpandSz = 2;

struct RegistryValue {
    std::uint32_t type = 0;
    std::string data;  // as stored, without a terminator for text types
    bool operator==(const RegistryValue&) const = default;
};

// Key paths are relative to HKEY_CURRENT_USER and use backslashes, as in "Software\Tavrik".
class Registry {
  public:
    virtual ~Registry() = default;
    virtual long QueryValue(const std::string& key, const std::string& name,
                            RegistryValue& value) = 0;
    // Sets a value in an existing key; a missing key is kStatusFileNotFound.
    virtual long SetValue(const std::string& key, const std::string& name,
                          const RegistryValue& value) = 0;
    virtual bool KeyExists(const std::string& key) = 0;
    // Creates the key and every missing key above it.
    virtual long CreateKey(const std::string& key) = 0;
    // Why the last call failed, in words for the user, when the hive itself was the cause
    // (it could not be read or written); empty when the call succeeded or a key or value
    // was simply missing.
    virtual std::string LastProblem() const { return {}; }
};

}  // namespace pellimor
