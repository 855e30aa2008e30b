// A movie's facts in a few short lines, for a tooltip: what a rescuer looks at first.
#pragma once

#include <string>

#include "catalogue/SwfFacts.h"

namespace pellimor {

// "SWF 9, zlib-compressed (CWS), ActionScript 3\n550 × 400 px, 24 fps, 12 frames\ncomplete"
// or, for a movie cut short, "cut short: 1234 of 5678 bytes"; a file that is no movie says so.
std::string FactsSummary(const SwfFacts& facts);

}  // namespace pellimor
