#include "ui/RuffleOptions.h"

#include <array>
#include <string_view>

#include "ground/AsciiText.h"

namespace pellimor {

namespace {

template <std::size_t N>
std::string OneOf(std::string_view value, const std::array<std::string_view, N>& known,
                  std::string_view fallback) {
    const std::string lowered = LoweredAscii(value);
    for (const std::string_view k : known) {
        if (LoweredAscii(k) == lowered) {
            return std::string(k);
        }
    }
    return std::string(fallback);
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

std::string Colour(std::string_view value) {
    if (!value.empty() && value.front() == '#') {
        value.remove_prefix(1);
    }
    if (value.size() != 6) {
        return {};
    }
    for (const char c : value) {
        if (!IsHexDigit(c)) {
            return {};
        }
    }
    std::string colour = "#";
    for (const char c : value) {
        colour += (c >= 'a' && c <= 'f') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    return colour;
}

std::string Quality(std::string_view value) {
    // Flash's automatic modes pick between low and high as frames drop; take their start.
    const std::string lowered = LoweredAscii(value);
    if (lowered == "autohigh") {
        return "high";
    }
    if (lowered == "autolow") {
        return "low";
    }
    constexpr std::array<std::string_view, 8> kKnown = {"low", "medium",    "high",  "best",
                                                        "8x8", "8x8linear", "16x16", "16x16linear"};
    return OneOf(lowered, kKnown, "high");
}

}  // namespace

RuffleOptions ToRuffleOptions(const FlashInitialProperties& p) {
    constexpr std::array<std::string_view, 5> kModes = {"window", "opaque", "transparent", "direct",
                                                        "gpu"};
    constexpr std::array<std::string_view, 4> kScales = {"showAll", "noBorder", "exactFit",
                                                         "noScale"};
    return {OneOf(p.windowMode, kModes, "window"),
            Quality(p.quality),
            OneOf(p.scale, kScales, "showAll"),
            LoweredAscii(p.scriptAccess) == "always",
            Colour(p.background),
            "all",
            false};
}

std::string ToJson(const RuffleOptions& o) {
    // Every text is one of the fixed words or colours above: nothing needs escaping.
    std::string json = "{\"wmode\":\"" + o.wmode + "\",\"quality\":\"" + o.quality;
    json.append("\",\"scale\":\"").append(o.scale).append("\",\"allowScriptAccess\":");
    json.append(o.allowScriptAccess ? "true" : "false");
    if (!o.backgroundColor.empty()) {
        json.append(",\"backgroundColor\":\"").append(o.backgroundColor).append("\"");
    }
    json.append(",\"allowNetworking\":\"").append(o.allowNetworking).append("\"");
    json.append(",\"upgradeToHttps\":").append(o.upgradeToHttps ? "true" : "false");
    json += '}';
    return json;
}

}  // namespace pellimor
