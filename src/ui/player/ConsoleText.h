// The page's console lines as plain text: Ruffle styles its lines with "%c" directives,
// which the engine hands over raw, followed by the CSS of each.
#pragma once

#include <string>
#include <string_view>

namespace pellimor {

// The line without its "%c" directives and without the CSS arguments they added at its end.
// A line without "%c" is returned as it is.
std::string PlainConsoleText(std::string_view line);

}  // namespace pellimor
