// ParseUrl on any bytes: no crash, no read past the text, the empty state after a failure.
// The player's address forms on the same bytes: the canonical address holds no byte that
// must be escaped, and a header text's media type is lower case.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "catalogue/CacheAddressBook.h"
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
    for (const char c : pellimor::CanonicalAddress(url)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F || c == '#' || c == '"' || c == '<' || c == '>') {
            std::abort();
        }
    }
    if (pellimor::WithoutQuery(url).size() > url.size()) {
        std::abort();
    }
    for (const char c : pellimor::ContentTypeFromHeaders(url)) {
        if (c >= 'A' && c <= 'Z') {
            std::abort();
        }
    }
    std::free(text);
    return 0;
}
