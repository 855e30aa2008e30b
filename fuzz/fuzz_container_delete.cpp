// The delete on any container: a consistent container stays consistent after deleting any
// of its entries, as a plain delete, as a delete that keeps the file as a leak, or as a mark
// for deleting once a running program lets go.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/urlcache/ContainerChecker.h"
#include "platform/urlcache/ContainerImage.h"
#include "platform/urlcache/ContainerView.h"

namespace {

constexpr std::size_t kMostEntriesTried = 64;

void AbortUnlessConsistent(const pellimor::indexdat::ContainerImage& image) {
    if (!pellimor::indexdat::CheckContainer(image.View()).empty()) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    const std::uint8_t how = data[0];
    const std::vector<std::uint8_t> bytes(data + 1, data + size);
    const auto original = pellimor::indexdat::ContainerImage::FromBytes(bytes);
    if (!original || !pellimor::indexdat::CheckContainer(original->View()).empty()) {
        return 0;
    }
    struct Entry {
        pellimor::indexdat::HashItem item;
        std::uint32_t offset;
    };
    std::vector<Entry> entries;
    (void)original->View().ForEachLiveUrl([&](const pellimor::indexdat::RawUrlRecord& record,
                                              const pellimor::indexdat::HashItem& item) {
        entries.push_back({item, record.offset});
        return entries.size() < kMostEntriesTried;
    });
    // Each entry alone, then all of them in one image, as one rewrite deletes many.
    auto all = *original;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const bool leak = ((how >> (i % 8)) & 1) != 0;
        auto one = *original;
        if ((how & 0x80) != 0 && i % 3 == 0) {
            one.MarkPendingDelete(entries[i].offset);
            all.MarkPendingDelete(entries[i].offset);
        } else {
            one.DeleteUrl(entries[i].item, leak);
            all.DeleteUrl(entries[i].item, leak);
        }
        AbortUnlessConsistent(one);
    }
    AbortUnlessConsistent(all);
    return 0;
}
