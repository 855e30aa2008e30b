#include "ui/FlashInitialProperties.h"

#include <vector>

#include "ground/ByteReader.h"

namespace pellimor {

namespace {

constexpr std::uint16_t kPlayerId = 1011;
constexpr std::uint16_t kStreamRecord = 0x0376;
constexpr std::uint32_t kStreamSignature = 0x55665567;
constexpr std::size_t kValueCount = 19;

// UTF-16LE to UTF-8 for the property texts, which are plain ASCII in practice.
std::string FromUtf16(std::span<const std::uint8_t> bytes) {
    std::string text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const unsigned unit = bytes[i] | (bytes[i + 1] << 8);
        if (unit == 0) {
            break;
        }
        if (unit < 0x80) {
            text += static_cast<char>(unit);
        } else if (unit < 0x800) {
            text += static_cast<char>(0xC0 | (unit >> 6));
            text += static_cast<char>(0x80 | (unit & 0x3F));
        } else {
            text += static_cast<char>(0xE0 | (unit >> 12));
            text += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
            text += static_cast<char>(0x80 | (unit & 0x3F));
        }
    }
    return text;
}

}  // namespace

Result<FlashInitialProperties> ParseFlashInitialProperties(std::span<const std::uint8_t> record) {
    const ByteReader r(record);
    if (r.U16(0) != kPlayerId || r.U16(2) != kStreamRecord) {
        return Fail("the record is not the player's stream record");
    }
    const auto length = r.U32(4);
    if (!length || !r.Has(8, *length) || *length < 4 + 16) {
        return Fail("the record's data runs past its end");
    }
    if (r.U32(8) != 0u) {
        return Fail("the record has an unexpected creation string");
    }
    const std::size_t start = 12;
    const std::size_t end = 8 + *length;
    if (r.U32(start) != kStreamSignature) {
        return Fail("the player's stream has an unknown signature");
    }
    FlashInitialProperties properties;
    properties.extentWidth = *r.U32(start + 8);
    properties.extentHeight = *r.U32(start + 12);
    std::vector<std::string> texts(kValueCount);
    std::size_t at = start + 16;
    for (std::size_t i = 0; i < kValueCount; ++i) {
        const auto type = r.U16(at);
        if (!type || at + 2 > end) {
            return Fail("the player's stream ends after " + std::to_string(i) + " values");
        }
        at += 2;
        if (*type == 8) {
            const auto count = r.U32(at);
            if (!count || !r.Has(at + 4, *count) || at + 4 + *count > end) {
                return Fail("a text of the player's stream runs past its end");
            }
            texts[i] = FromUtf16(record.subspan(at + 4, *count));
            at += 4 + *count;
        } else if (*type == 11) {
            at += 2;
        } else if (*type == 13) {
            at += 16;
        } else {
            return Fail("the player's stream holds a value of unknown type " +
                        std::to_string(*type));
        }
        if (at > end) {
            return Fail("the player's stream runs past its end");
        }
    }
    if (r.U16(end) != 0u) {
        return Fail("the records do not end where they should");
    }
    properties.windowMode = texts[3];
    properties.quality = texts[6];
    properties.scriptAccess = texts[10];
    properties.scale = texts[11];
    properties.background = texts[14];
    return properties;
}

FlashInitialProperties InitialPropertiesOrDefaults(std::span<const std::uint8_t> record,
                                                   std::string& warning) {
    const Result<FlashInitialProperties> parsed = ParseFlashInitialProperties(record);
    if (parsed) {
        warning.clear();
        return *parsed;
    }
    warning = "the player's initial properties do not parse (" + parsed.error() +
              "); playing with Window, High, always, ShowAll and FFFFFF";
    return {};
}

}  // namespace pellimor
