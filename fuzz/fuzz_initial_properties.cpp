// The player's initial-properties record on any bytes: no crash, no read out of range, and
// whatever parses becomes options the page can take as they are.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "ui/FlashInitialProperties.h"
#include "ui/RuffleOptions.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> bytes(data, data + size);
    const auto properties = pellimor::ParseFlashInitialProperties(bytes);
    if (properties) {
        // Only fixed words and "#RRGGBB" may reach the page's script.
        for (const char c : pellimor::ToJson(pellimor::ToRuffleOptions(*properties))) {
            const bool plain = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ||
                               (c >= 'A' && c <= 'Z') || c == '"' || c == ':' || c == ',' ||
                               c == '{' || c == '}' || c == '#';
            if (!plain) {
                std::abort();
            }
        }
    }
    return 0;
}
