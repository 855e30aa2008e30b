// A registry hive kept as .reg text: a header line, "[HKEY_CURRENT_USER\...]" sections and
// "Name"=value lines. Every line that is not changed is kept as written, comments and value
// types this program does not use included.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/Registry.h"

namespace pellimor {

class HiveFile {
  public:
    static constexpr const char* kHeader = "Windows Registry Editor Version 5.00";

    static HiveFile Empty();
    // Nothing when the text is not a hive this program can keep intact.
    static std::optional<HiveFile> Parse(const std::string& text);
    std::string Serialize() const;

    // Keys are relative to HKEY_CURRENT_USER; names and keys compare without regard to case.
    bool HasKey(const std::string& key) const;
    std::optional<RegistryValue> FindValue(const std::string& key, const std::string& name) const;
    // False when the key does not exist.
    bool SetValue(const std::string& key, const std::string& name, const RegistryValue& value);
    // Adds the key and every missing key above it.
    void AddKey(const std::string& key);

  private:
    struct Line {
        std::string text;     // as written, continuation lines joined with "\n"
        std::string section;  // the full key of the section it belongs to
        std::string valueName;
        bool isValue = false;
        bool isSection = false;
        RegistryValue value;  // for value lines
    };
    std::vector<Line> lines_;
};

// The .reg text of a value line.
std::string FormatValueLine(const std::string& name, const RegistryValue& value);

}  // namespace pellimor
