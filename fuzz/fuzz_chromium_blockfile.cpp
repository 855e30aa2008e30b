// Chromium's block-file cache on any bytes: the input is cut at each "|FILE|" into index,
// data_0, data_1, data_2, data_3 and f_000001 (absent where the input has fewer parts),
// written to a folder, listed, every body read and the left-over files looked for. No crash, no
// hang, no read out of range.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>

#include "platform/chromium/BlockFileCache.h"

namespace {

const std::string& Folder() {
    static const std::string folder = [] {
        char name[] = "/tmp/fuzz_chromium_blockfile.XXXXXX";
        return std::string(::mkdtemp(name));
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const char* const kNames[] = {"index",  "data_0", "data_1",
                                         "data_2", "data_3", "f_000001"};
    constexpr std::string_view kCut = "|FILE|";
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    for (const char* name : kNames) {
        const std::string path = Folder() + "/" + name;
        if (rest.data() == nullptr) {
            ::unlink(path.c_str());
            continue;
        }
        const std::size_t cut = rest.find(kCut);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(rest.data(), static_cast<std::streamsize>(std::min(cut, rest.size())));
        rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + kCut.size());
    }
    pellimor::ChromiumBlockFileCache cache(Folder());
    (void)cache.Enumerate([&](const pellimor::CacheEntry& entry) {
        (void)cache.ReadBody(entry.id, 1 << 20);
        return true;
    });
    (void)cache.EnumerateLeftovers([](const std::string&) { return true; });
    return 0;
}
