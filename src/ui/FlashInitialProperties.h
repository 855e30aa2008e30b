// The player's initial properties as the dialog template stores them (resource type 240,
// id 102): one record for control 1011. All numbers little-endian.
//
//   0 u16 control id (1011)   2 u16 kind 0x0376 (state from a stream)   4 u32 data length (216)
//   8 u32 UTF-16 characters of a creation string (0)   12 the control's stream   then u16 0
// The stream: u32 0x55665567, u32 0x300, u32 extent width, u32 extent height (0.01 mm), then
// 19 typed values, each a u16 type: 8 string (u32 byte count n, n bytes UTF-16LE with its
// terminator), 11 boolean (u16), 13 object (16-byte class id). Values 4, 7, 11, 12 and 15 are
// the window mode, quality, script access, scale mode and background colour.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "ports/Result.h"

namespace pellimor {

struct FlashInitialProperties {
    std::string windowMode = "Window";
    std::string quality = "High";
    std::string scriptAccess = "always";
    std::string scale = "ShowAll";
    std::string background = "FFFFFF";  // red, green, blue in hexadecimal
    std::uint32_t extentWidth = 10054;  // 0.01 mm
    std::uint32_t extentHeight = 9075;
};

// The values of the record, or why it does not parse; the defaults above are the record's
// own values.
Result<FlashInitialProperties> ParseFlashInitialProperties(std::span<const std::uint8_t> record);

// The record's values, or, when it does not parse, the defaults above with warning saying
// why, for standard error; warning is empty when the record parses.
FlashInitialProperties InitialPropertiesOrDefaults(std::span<const std::uint8_t> record,
                                                   std::string& warning);

}  // namespace pellimor
