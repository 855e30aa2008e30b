// Texts from a stranger's cache, made safe to print on a terminal.
#pragma once

#include <string>
#include <string_view>

namespace pellimor {

// Control bytes (below 0x20, and 0x7F) as \xNN, so that a name or address cannot move the
// cursor, clear the screen or retitle the window; everything else as it is.
std::string ForTerminal(std::string_view text);

}  // namespace pellimor
