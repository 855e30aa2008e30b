// Names and addresses from a stranger's cache on their way to a terminal: no control byte
// gets through, widths and padding hold for any bytes, and each error line is marked.
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
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (pellimor::Utf8Length(text, at) > text.size() - at) {
            std::abort();
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
