// ASCII text helpers every layer shares: the letters A to Z fold to a to z and every other
// byte stays as it is, whatever the locale (std::tolower would follow it). Standard library
// only, so that the lowest layer may use it.
#pragma once

#include <string>
#include <string_view>

namespace pellimor {

constexpr char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The text with ASCII capitals made small; other bytes kept.
std::string LoweredAscii(std::string_view text);
void LowerAsciiInPlace(std::string& text);

bool EqualIgnoringCase(std::string_view a, std::string_view b);
bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix);

// Spaces and tabs left out at both ends.
std::string_view TrimmedBlanks(std::string_view text);
// A header line's value: spaces and tabs left out at both ends, and carriage returns at the end.
std::string_view TrimmedLine(std::string_view text);

}  // namespace pellimor
