// Texts from a stranger's cache, made safe to print on a terminal, and lined up in columns.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pellimor {

// Control bytes (below 0x20, and 0x7F) and bytes that are no UTF-8 as \xNN; the C1 controls
// (U+0080 to U+009F) and the marks that turn the direction of text (U+061C, U+200E, U+200F,
// U+202A to U+202E, U+2066 to U+2069) as \uNNNN. So a name or address cannot move the
// cursor, clear the screen, retitle the window or make the line show its parts in another
// order; everything else as it is.
std::string ForTerminal(std::string_view text);
// ForTerminal(text) appended to out.
void AppendForTerminal(std::string& out, std::string_view text);

// A character that a terminal acts on or that reorders what is drawn around it (the C1
// controls and the direction marks above).
bool IsHiddenControl(char32_t c);

// The length of the well-formed UTF-8 sequence that starts at text[at], or 0 (also for an
// overlong form, a surrogate, or a value beyond U+10FFFF).
std::size_t Utf8Length(std::string_view text, std::size_t at);
// The character of the well-formed sequence of this length at text[at].
char32_t DecodedUtf8(std::string_view text, std::size_t at, std::size_t length);

// The cells a terminal takes to draw text: East Asian wide and full-width characters take
// two, combining marks none, every other character (and every byte that is no UTF-8) one.
std::size_t DisplayWidth(std::string_view text);

// text followed by spaces up to width cells.
std::string PaddedTo(std::string_view text, std::size_t width);

// Every line of text as a line of its own that starts with "pellimor-cli: ", as every
// error the terminal prints.
std::string ErrorLines(std::string_view text);

}  // namespace pellimor
