// The program's own URL splitter: scheme, user, password, host, port, path and extra part,
// byte by byte and without decoding. Used to group movies by the site they came from.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "sites/FixedText.h"

namespace pellimor {

enum class UrlScheme : int {
    kOther = -1,
    kFtp = 0,
    kGopher = 1,
    kHttp = 2,
    kHttps = 3,
    kFile = 4,
    kNews = 5,
    kMailto = 6,
    kSocks = 7,
};

struct UrlParts {
    FixedText<32> schemeName;
    FixedText<256> host;
    FixedText<128> userName;
    FixedText<128> password;
    FixedText<2048> urlPath;
    FixedText<2048> extraInfo;
    std::uint16_t port = 0;
    UrlScheme scheme = UrlScheme::kOther;

    void Reset();
};

// Fills parts and returns true, or leaves parts in the empty state and returns false.
bool ParseUrl(std::string_view url, UrlParts& parts);

// The host of a URL without one leading "www."; empty when the URL does not split or has none.
std::string SiteFromUrl(const char* url);
std::string SiteFromUrl(std::string_view url);

}  // namespace pellimor
