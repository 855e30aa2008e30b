// Firefox's cache2 entry file on any bytes: parsed in memory (metadata, key, response head)
// and as a file in a cache2 folder, listed and its body read through the source. No crash,
// no hang, no read out of range.
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <span>
#include <string>

#include "FuzzFolder.h"
#include "platform/firefox/Cache2.h"
#include "platform/firefox/Cache2Format.h"
#include "platform/firefox/ResponseHead.h"

namespace {

const std::string& Folder() {
    static const std::string folder = [] {
        const std::string made = pellimor::fuzz::MakeScratchFolder("fuzz_firefox_cache2");
        ::mkdir((made + "/entries").c_str(), 0700);
        return made;
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    namespace cache2 = pellimor::firefox::cache2;
    const auto metadata = cache2::ParseEntryFile(std::span(data, size));
    if (metadata) {
        if (metadata->bodyLength > size) {
            abort();
        }
        (void)cache2::UrlOfKey(metadata->key);
        const auto head = pellimor::firefox::ElementValue(metadata->elements, "response-head");
        const auto facts = pellimor::firefox::FactsOf(head.value_or(""));
        (void)pellimor::firefox::BodyStartOf(
            facts.contentEncoding,
            std::string_view(reinterpret_cast<const char*>(data), metadata->bodyLength));
    }
    const std::string name = "0123456789ABCDEF0123456789ABCDEF01234567";
    pellimor::fuzz::WriteFile(Folder() + "/entries/" + name,
                              {reinterpret_cast<const char*>(data), size});
    auto cache = pellimor::FirefoxCache2::Open(Folder());
    if (!cache) {
        abort();
    }
    std::size_t listed = 0;
    (void)(*cache)->Enumerate([&](const pellimor::CacheEntry& entry) {
        ++listed;
        (void)(*cache)->ReadBody(entry.id, 1 << 20);
        return true;
    });
    // The file lists exactly when it parses in memory.
    if ((listed == 1) != metadata.ok()) {
        abort();
    }
    return 0;
}
