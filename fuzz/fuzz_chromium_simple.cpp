// Chromium's simple cache on any bytes: one entry file in a folder of its own, listed and
// its body read; and the stored response parsed on its own. No crash, no hang, no read out
// of range.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "FuzzFolder.h"
#include "platform/chromium/ResponseInfo.h"
#include "platform/chromium/SimpleCache.h"

namespace {

const std::string& Folder() {
    static const std::string folder = pellimor::fuzz::MakeScratchFolder("fuzz_chromium_simple");
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    (void)pellimor::chromium::ParseResponseInfo({data, size});
    const std::string path = Folder() + "/0123456789abcdef_0";
    pellimor::fuzz::WriteFile(path, {reinterpret_cast<const char*>(data), size});
    pellimor::ChromiumSimpleCache cache(Folder());
    (void)cache.Enumerate([&](const pellimor::CacheEntry& entry) {
        (void)cache.ReadBody(entry.id, 1 << 20);
        return true;
    });
    return 0;
}
