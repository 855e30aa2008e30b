// The player's initial properties in the words of Ruffle's configuration.
#pragma once

#include <string>

#include "ui/FlashInitialProperties.h"

namespace pellimor {

struct RuffleOptions {
    std::string wmode;            // "window", "opaque", "transparent", "direct" or "gpu"
    std::string quality;          // "low", "medium", "high", "best" or an 8x8 / 16x16 mode
    std::string scale;            // "showAll", "noBorder", "exactFit" or "noScale"
    bool allowScriptAccess;       // "always" only
    std::string backgroundColor;  // "#RRGGBB", or empty for the movie's own
    // What the original player allowed: every network call, whose requests the page's guard
    // keeps inside the program, and a cached http:// movie's loads under http://.
    std::string allowNetworking;  // "all"
    bool upgradeToHttps;          // false

    bool operator==(const RuffleOptions&) const = default;
};

// A value the emulator does not know becomes the stored record's own (window, high,
// show-all); a colour that is not six hexadecimal digits leaves the movie's own. Networking
// is the original player's: "all", with no upgrade to https.
RuffleOptions ToRuffleOptions(const FlashInitialProperties& properties);

// The options as a JSON object, to be merged into the page's configuration.
std::string ToJson(const RuffleOptions& options);

}  // namespace pellimor
