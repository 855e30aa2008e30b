// ParseUrl on any bytes: no crash, no read past the text, the empty state after a failure.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "sites/ParseUrl.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A copy of exactly size bytes, so that a read past the end is caught.
    char* text = static_cast<char*>(std::malloc(size == 0 ? 1 : size));
    std::copy(data, data + size, text);
    const std::string_view url(text, size);
    pellimor::UrlParts parts;
    if (!pellimor::ParseUrl(url, parts)) {
        if (!parts.schemeName.empty() || !parts.host.empty() || !parts.userName.empty() ||
            !parts.password.empty() || !parts.urlPath.empty() || !parts.extraInfo.empty() ||
            parts.port != 0 || parts.scheme != pellimor::UrlScheme::kOther) {
            std::abort();
        }
    } else if (parts.host.size() > 256 || parts.urlPath.size() > 2048 ||
               parts.extraInfo.size() > 2048) {
        std::abort();
    }
    (void)pellimor::SiteFromUrl(url);
    std::free(text);
    return 0;
}
