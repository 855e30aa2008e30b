// A registry hive kept as .reg text: a header line, "[HKEY_CURRENT_USER\...]" sections and
// "Name"=value lines, read in order as the registry editor applies them (a later line wins,
// "[-key]" and "name"=- delete). Every line is kept as written, understood or not, with its
// own line ending; a change rewrites only the line it changes, or adds lines.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/HiveSyntax.h"
#include "ports/Registry.h"
#include "ports/Result.h"

namespace pellimor {

// Every key (folded, below HKEY_CURRENT_USER) with its values (by folded name).
using HiveContents = std::map<std::string, std::map<std::string, RegistryValue>>;

class HiveFile {
  public:
    static constexpr const char* kHeader = "Windows Registry Editor Version 5.00";

    static HiveFile Empty();
    // Fails, with a clause such as "is not registry text: ..." for its reason, when the text
    // is no registry text at all (its first line is not a registry editor header) or has more
    // lines than a settings file could; a blank text is an empty hive.
    static Result<HiveFile> Parse(const std::string& text);
    std::string Serialize() const;

    // Keys are relative to HKEY_CURRENT_USER; names and keys compare without regard to case.
    bool HasKey(const std::string& key) const;
    std::optional<RegistryValue> FindValue(const std::string& key, const std::string& name) const;
    HiveContents Contents() const;
    // kStatusFileNotFound when the key does not exist, kStatusInvalidData when the name
    // cannot be written as .reg text.
    long SetValue(const std::string& key, const std::string& name, const RegistryValue& value);
    // Adds the key and every missing key above it; kStatusInvalidData for a key that cannot
    // be written as .reg text.
    long AddKey(const std::string& key);

  private:
    struct Line {
        std::string text;  // as written; continued hex data keeps its inner line endings
        std::string eol;   // "\r\n", "\n", "\r", or "" for a last line without one
        hive::LineMeaning meaning;
        // The folded key of the section the line is in; none outside every section of
        // HKEY_CURRENT_USER (before the first, in another root's, after a "[-key]").
        std::optional<std::string> section;
        bool open = false;     // continued hex data with no further line to continue it
        bool content = false;  // not just blanks and comments
    };
    static constexpr std::size_t kLineLimit = 100000;
    void Keep(Line line);
    // Joins a line that says nothing to the registry to such lines before it; false when
    // it cannot.
    bool JoinInert(std::string_view text, std::string_view eol,
                   const std::optional<std::string>& section);
    void Append(const std::string& text, const std::optional<std::string>& section);
    // Hex data that waits for a continuation takes no line after it as one: the backslash
    // goes, which changes nothing for the data read so far.
    void Close(std::size_t index);
    std::optional<std::size_t> LastContentLine() const;

    std::string bom_;
    std::string eol_ = "\r\n";
    std::vector<Line> lines_;
};

}  // namespace pellimor
