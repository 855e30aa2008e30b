// The index.dat reader and checker on any bytes: no crash, no hang, no read out of range;
// and the writer's add on every consistent container.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/urlcache/ContainerChecker.h"
#include "platform/urlcache/ContainerImage.h"
#include "platform/urlcache/ContainerView.h"
#include "platform/urlcache/IndexDatCache.h"
#include "platform/urlcache/RecordNames.h"

namespace {

std::size_t LiveRecordsOf(const pellimor::indexdat::ContainerView& view, std::string_view url) {
    std::size_t count = 0;
    (void)view.ForEachLiveUrl(
        [&](const pellimor::indexdat::RawUrlRecord& record, const pellimor::indexdat::HashItem&) {
            count += record.url == url;
            return true;
        });
    return count;
}

// Adding an address keeps a consistent container consistent and leaves exactly one live
// record of it, whether the address was new or already there.
void CheckAdd(const std::vector<std::uint8_t>& bytes, const std::string& url) {
    auto image = pellimor::indexdat::ContainerImage::FromBytes(bytes);
    pellimor::indexdat::NewRecord record;
    record.url = url;
    record.fileName = "a[1].swf";
    record.subfolder = 0xFE;
    if (!image || !image->AddUrl(record)) {
        return;
    }
    const auto view = image->View();
    if (!pellimor::indexdat::CheckContainer(view).empty() ||
        LiveRecordsOf(view, url.substr(0, url.find('\0'))) != 1) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> bytes(data, data + size);
    const auto view = pellimor::indexdat::ContainerView::Open(bytes);
    if (!view) {
        return 0;
    }
    std::size_t seen = 0;
    std::string present;
    (void)view->ForEachLiveUrl(
        [&](const pellimor::indexdat::RawUrlRecord& record, const pellimor::indexdat::HashItem&) {
            seen += record.url ? record.url->size() : 0;
            if (present.empty() && record.url) {
                present = std::string(*record.url);
            }
            (void)pellimor::LocalPathOf(*view, record, "/cache", 1252);
            return true;
        });
    if (pellimor::indexdat::CheckContainer(*view).empty()) {
        CheckAdd(bytes, "http://fuzz.example/a.swf");
        if (!present.empty()) {
            CheckAdd(bytes, present);
        }
    }
    return 0;
}
