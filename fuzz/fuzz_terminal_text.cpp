// Names and addresses from a stranger's cache on their way to a terminal: no control byte,
// C1 control, direction mark or malformed UTF-8 gets through, widths and padding hold for any
// bytes, and each error line is marked.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "cli/TerminalText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string shown = pellimor::ForTerminal(text);
    for (const unsigned char c : shown) {
        if (c < 0x20 || c == 0x7F) {
            std::abort();
        }
    }
    // What is shown is well-formed UTF-8 without a C1 control or a direction mark.
    for (std::size_t at = 0; at < shown.size();) {
        const std::size_t length = pellimor::Utf8Length(shown, at);
        if (length == 0 || pellimor::IsHiddenControl(pellimor::DecodedUtf8(shown, at, length))) {
            std::abort();
        }
        at += length;
    }
    for (std::size_t at = 0; at < text.size(); ++at) {
        const std::size_t length = pellimor::Utf8Length(text, at);
        if (length > text.size() - at) {
            std::abort();
        }
        // No overlong form, surrogate or value beyond U+10FFFF passes for a character.
        if (length > 1) {
            const char32_t c = pellimor::DecodedUtf8(text, at, length);
            constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
            if (c < kLeast[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
                std::abort();
            }
        }
    }
    const std::size_t width = pellimor::DisplayWidth(shown);
    if (width > 2 * shown.size()) {
        std::abort();
    }
    const std::string padded = pellimor::PaddedTo(shown, width + 3);
    if (padded.rfind(shown, 0) != 0 || pellimor::DisplayWidth(padded) != width + 3) {
        std::abort();
    }
    const std::string lines = pellimor::ErrorLines(text);
    for (std::size_t at = 0; at < lines.size(); at = lines.find('\n', at) + 1) {
        if (lines.compare(at, 14, "pellimor-cli: ") != 0) {
            std::abort();
        }
        if (lines.find('\n', at) == std::string::npos) {
            break;
        }
    }
    return 0;
}
