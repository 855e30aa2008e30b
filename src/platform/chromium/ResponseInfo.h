// The response Chromium keeps beside each body (stream 0 of an entry): a pickled
// HttpResponseInfo. Only its start is read: flags, request and response times, then the
// headers as one string with a NUL after each line. The rest (certificates, addresses ...)
// is of no use here.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "ports/CacheSource.h"
#include "ports/Result.h"

namespace pellimor::chromium {

struct ResponseInfo {
    std::string headers;          // lines ending in CR LF, then an empty line
    std::string contentType;      // lower case, without parameters
    std::string contentEncoding;  // lower case
    std::optional<UnixTime> responseTime;
    std::optional<UnixTime> lastModified;  // the Last-Modified header
    std::optional<UnixTime> expires;       // the Expires header
    bool truncated = false;                // Chromium stored it while the body was still arriving
};

Result<ResponseInfo> ParseResponseInfo(std::span<const std::uint8_t> pickle);

// The value of the first header line called name (case-blind), trimmed; nothing when absent.
std::optional<std::string> HeaderValue(std::string_view headers, std::string_view name);

// An HTTP date (RFC 1123, RFC 850 or asctime form) as Unix time.
std::optional<UnixTime> ParseHttpDate(std::string_view text);

// Chromium's time (microseconds since 1601-01-01 UTC); nothing for 0 and absurd values.
std::optional<UnixTime> ChromeTimeToUnix(std::uint64_t micros);

// The address inside a cache key: the last space-separated part (keys of Chrome 86 and
// later start with "1/0/_dk_<site> <site> "); nothing when that part is no absolute URL.
std::optional<std::string> UrlFromKey(std::string_view key);

}  // namespace pellimor::chromium
