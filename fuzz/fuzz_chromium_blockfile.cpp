// Chromium's block-file cache on any bytes: the input is cut at each "|FILE|" into index,
// data_0, data_1, data_2, data_3 and f_000001 (absent where the input has fewer parts),
// written to a folder, listed, every body read and the left-over files looked for. No crash, no
// hang, no read out of range.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "FuzzFolder.h"
#include "platform/chromium/BlockFileCache.h"

namespace {

const std::string& Folder() {
    static const std::string folder = pellimor::fuzz::MakeScratchFolder("fuzz_chromium_blockfile");
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    pellimor::fuzz::WriteParts(Folder(), data, size,
                               {"index", "data_0", "data_1", "data_2", "data_3", "f_000001"});
    pellimor::ChromiumBlockFileCache cache(Folder());
    (void)cache.Enumerate([&](const pellimor::CacheEntry& entry) {
        (void)cache.ReadBody(entry.id, 1 << 20);
        return true;
    });
    (void)cache.EnumerateLeftovers([](const std::string&) { return true; });
    return 0;
}
