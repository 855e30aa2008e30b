// One line of .reg text, read and written as the registry editor does: "[key]" and
// "[-key]" sections, "name"=data and "name"=- values, indentation, "; comments" after
// the data, hex data continued on further lines.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "ports/Registry.h"

namespace pellimor::hive {

enum class LineKind { kOther, kSection, kKeyDeletion, kValue, kValueDeletion };

struct LineMeaning {
    LineKind kind = LineKind::kOther;
    // Sections and key deletions: whether the key is under HKEY_CURRENT_USER, and its path
    // below it as written ("" for the root itself).
    bool ownRoot = false;
    std::string key;
    // Values: the name ("" for the default value "@"), the data, and where the data is
    // written in the line, so that it can be replaced keeping indentation and comment.
    std::string name;
    RegistryValue value;
    std::size_t dataBegin = 0;
    std::size_t dataEnd = 0;
    // Hex data whose line ends in a backslash: more data follows on the next line.
    bool continues = false;
    std::size_t backslashAt = 0;
};

// What the first (or only) physical line of a logical line says.
LineMeaning ReadLine(const std::string& line);

// Reads one further line of continued hex data into value. False when the line is no
// continuation (not hex digits, or malformed); then value and continues are unchanged.
bool ReadHexContinuation(const std::string& line, RegistryValue& value, bool& continues,
                         std::size_t& dataEnd, std::size_t& backslashAt);

// True for a line that holds nothing: blanks, or a comment.
bool IsBlankOrComment(const std::string& line);
// True for a line the registry editor would take as more hex data (starts with a digit).
bool LooksLikeHexContinuation(const std::string& line);

// The data part of a value line ("text", dword:..., hex(n):...); text that cannot be
// written as a quoted string (it holds a zero byte) is written as hex.
std::string FormatData(const RegistryValue& value);
// A whole value line; nothing when the name cannot be written (it holds a zero byte).
std::optional<std::string> FormatValueLine(const std::string& name, const RegistryValue& value);
// A section line for a key below HKEY_CURRENT_USER; nothing when the key cannot be
// written so that it reads back the same (line breaks, zero bytes, empty parts).
std::optional<std::string> FormatSectionLine(const std::string& key);

// ASCII letters lowered: keys and value names compare without regard to case.
std::string Folded(std::string text);

}  // namespace pellimor::hive
