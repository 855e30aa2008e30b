// Texts from a stranger's cache, made safe to print on a terminal, and lined up in columns.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pellimor {

// Control bytes (below 0x20, and 0x7F) as \xNN, so that a name or address cannot move the
// cursor, clear the screen or retitle the window; everything else as it is.
std::string ForTerminal(std::string_view text);

// The length of the well-formed UTF-8 sequence that starts at text[at], or 0.
std::size_t Utf8Length(std::string_view text, std::size_t at);

// The cells a terminal takes to draw text: East Asian wide and full-width characters take
// two, combining marks none, every other character (and every byte that is no UTF-8) one.
std::size_t DisplayWidth(std::string_view text);

// text followed by spaces up to width cells.
std::string PaddedTo(std::string_view text, std::size_t width);

// Every line of text as a line of its own that starts with "pellimor-cli: ", as every
// error the terminal prints.
std::string ErrorLines(std::string_view text);

}  // namespace pellimor
