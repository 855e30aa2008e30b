// The index.dat reader and checker on any bytes: no crash, no hang, no read out of range.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/urlcache/ContainerChecker.h"
#include "platform/urlcache/ContainerImage.h"
#include "platform/urlcache/ContainerView.h"
#include "platform/urlcache/IndexDatCache.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> bytes(data, data + size);
    std::string error;
    const auto view = pellimor::indexdat::ContainerView::Open(bytes, error);
    if (!view) {
        return 0;
    }
    std::size_t seen = 0;
    view->ForEachLiveUrl(
        [&](const pellimor::indexdat::RawUrlRecord& record, const pellimor::indexdat::HashItem&) {
            seen += record.url ? record.url->size() : 0;
            (void)pellimor::LocalPathOf(*view, record, "/cache", 1252);
            return true;
        });
    const auto problems = pellimor::indexdat::CheckContainer(*view);
    if (problems.empty()) {
        // A consistent container can be changed: adding must keep it consistent.
        auto image = pellimor::indexdat::ContainerImage::FromBytes(bytes, error);
        pellimor::indexdat::NewRecord record;
        record.url = "http://fuzz.example/a.swf";
        record.fileName = "a[1].swf";
        record.subfolder = 0xFE;
        if (image && image->AddUrl(record) &&
            !pellimor::indexdat::CheckContainer(image->View()).empty()) {
            std::abort();
        }
    }
    return 0;
}
