// The player's initial-properties record on any bytes: no crash, no read out of range.
#include <cstdint>
#include <vector>

#include "ui/FlashInitialProperties.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> bytes(data, data + size);
    std::string error;
    (void)pellimor::ParseFlashInitialProperties(bytes, error);
    return 0;
}
