#include "platform/chromium/ResponseInfo.h"

#include <array>
#include <cctype>

#include "ground/AsciiText.h"
#include "ground/ByteReader.h"

namespace pellimor::chromium {

namespace {

// Pickle: a 32-bit payload size, then the payload; every field takes a multiple of 4 bytes.
constexpr std::size_t kPickleHeaderSize = 4;
constexpr std::uint32_t kVersionMask = 0xFF;
constexpr std::uint32_t kMinVersion = 1;
constexpr std::uint32_t kMaxVersion = 3;
constexpr std::uint32_t kFlagTruncated = 1u << 12;
// Newer writers put a second flags word after the first one.
constexpr std::uint32_t kFlagHasExtraFlags = 1u << 31;
// ... and, with it, may store the original response time after the response time.
constexpr std::size_t kTimeSize = 8;
constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600LL;
constexpr std::uint64_t kMicrosPerSecond = 1000000;

// The pickled string at offset: its text when its length fits the payload.
std::optional<std::string_view> PickledString(const ByteReader& payload, std::size_t offset) {
    const auto length = payload.U32(offset);
    if (!length || *length > 0x7fffffffu || !payload.Has(offset + 4, *length)) {
        return std::nullopt;
    }
    return payload.Text(offset + 4, *length);
}

bool LooksLikeStatusLine(std::string_view raw) {
    return raw.substr(0, 5) == "HTTP/";
}

}  // namespace

Result<ResponseInfo> ParseResponseInfo(std::span<const std::uint8_t> pickle) {
    const ByteReader whole(pickle);
    const auto payloadSize = whole.U32(0);
    if (!payloadSize || !whole.Has(kPickleHeaderSize, *payloadSize)) {
        return Fail("the stored response is cut short");
    }
    const ByteReader payload(pickle.subspan(kPickleHeaderSize, *payloadSize));
    const auto flags = payload.U32(0);
    if (!flags) {
        return Fail("the stored response is cut short");
    }
    const std::uint32_t version = *flags & kVersionMask;
    if (version < kMinVersion || version > kMaxVersion) {
        return Fail("the stored response has an unknown version (" + std::to_string(version) + ")");
    }
    std::size_t offset = 4;
    if (*flags & kFlagHasExtraFlags) {
        offset += 4;
    }
    const std::size_t responseTimeOffset = offset + kTimeSize;
    const auto responseTime = payload.U64(responseTimeOffset);
    if (!responseTime) {
        return Fail("the stored response is cut short");
    }
    std::optional<std::string_view> raw = PickledString(payload, responseTimeOffset + kTimeSize);
    if ((!raw || !LooksLikeStatusLine(*raw)) && (*flags & kFlagHasExtraFlags)) {
        raw = PickledString(payload, responseTimeOffset + 2 * kTimeSize);
    }
    if (!raw || !LooksLikeStatusLine(*raw)) {
        return Fail("the stored response holds no headers");
    }

    ResponseInfo info;
    info.truncated = (*flags & kFlagTruncated) != 0;
    info.responseTime = ChromeTimeToUnix(*responseTime);
    std::string_view rest = *raw;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\0');
        const std::string_view line = rest.substr(0, end);
        if (line.empty()) {
            break;
        }
        info.headers.append(line);
        info.headers.append("\r\n");
        if (end == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(end + 1);
    }
    info.headers.append("\r\n");

    if (const auto type = HeaderValue(info.headers, "Content-Type")) {
        info.contentType =
            LoweredAscii(TrimmedLine(std::string_view(*type).substr(0, type->find(';'))));
    }
    if (const auto encoding = HeaderValue(info.headers, "Content-Encoding")) {
        info.contentEncoding = LoweredAscii(*encoding);
    }
    if (const auto modified = HeaderValue(info.headers, "Last-Modified")) {
        info.lastModified = ParseHttpDate(*modified);
    }
    if (const auto expires = HeaderValue(info.headers, "Expires")) {
        info.expires = ParseHttpDate(*expires);
    }
    return info;
}

std::optional<std::string> HeaderValue(std::string_view headers, std::string_view name) {
    std::size_t start = 0;
    while (start < headers.size()) {
        std::size_t end = headers.find('\n', start);
        if (end == std::string_view::npos) {
            end = headers.size();
        }
        const std::string_view line = headers.substr(start, end - start);
        const std::size_t colon = line.find(':');
        if (colon != std::string_view::npos && colon == name.size()) {
            if (EqualIgnoringCase(line.substr(0, colon), name)) {
                return std::string(TrimmedLine(line.substr(colon + 1)));
            }
        }
        start = end + 1;
    }
    return std::nullopt;
}

namespace {

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

std::optional<unsigned> MonthNumber(std::string_view token) {
    static constexpr std::array<std::string_view, 12> kMonths = {
        "jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
    if (token.size() < 3) {
        return std::nullopt;
    }
    const std::string lower = LoweredAscii(token.substr(0, 3));
    for (unsigned i = 0; i < kMonths.size(); ++i) {
        if (lower == kMonths[i]) {
            return i + 1;
        }
    }
    return std::nullopt;
}

std::optional<unsigned> Number(std::string_view token) {
    if (token.empty() || token.size() > 4) {
        return std::nullopt;
    }
    unsigned value = 0;
    for (char c : token) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value;
}

}  // namespace

std::optional<UnixTime> ParseHttpDate(std::string_view text) {
    std::optional<unsigned> day, month, year, hour, minute, second;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of(" ,-\t", start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view token = text.substr(start, end - start);
        start = end + 1;
        if (token.empty()) {
            continue;
        }
        if (token.find(':') != std::string_view::npos) {
            if (token.size() != 8 || token[2] != ':' || token[5] != ':') {
                return std::nullopt;
            }
            hour = Number(token.substr(0, 2));
            minute = Number(token.substr(3, 2));
            second = Number(token.substr(6, 2));
        } else if (const auto m = MonthNumber(token); m && !month) {
            month = m;
        } else if (const auto n = Number(token)) {
            if (token.size() <= 2 && !day) {
                day = n;
            } else if (!year) {
                year = token.size() <= 2 ? (*n >= 70 ? 1900 + *n : 2000 + *n) : *n;
            }
        }
    }
    if (!day || !month || !year || !hour || !minute || !second || *day < 1 || *day > 31 ||
        *hour > 23 || *minute > 59 || *second > 60) {
        return std::nullopt;
    }
    return DaysFromCivil(*year, *month, *day) * 86400 + *hour * 3600 + *minute * 60 + *second;
}

std::optional<UnixTime> ChromeTimeToUnix(std::uint64_t micros) {
    // Before 1970 or after the year 9999: no real cache holds such a time.
    constexpr std::uint64_t kFirst =
        static_cast<std::uint64_t>(kSecondsFrom1601To1970) * kMicrosPerSecond;
    constexpr std::uint64_t kLast = kFirst + 253402300799ULL * kMicrosPerSecond;
    if (micros < kFirst || micros > kLast) {
        return std::nullopt;
    }
    return static_cast<UnixTime>(micros / kMicrosPerSecond) - kSecondsFrom1601To1970;
}

std::optional<std::string> UrlFromKey(std::string_view key) {
    const std::size_t space = key.rfind(' ');
    const std::string_view url = space == std::string_view::npos ? key : key.substr(space + 1);
    // A scheme: a letter, then letters, digits, '+', '-' or '.', then ':' and something.
    std::size_t i = 0;
    if (url.empty() || !std::isalpha(static_cast<unsigned char>(url[0]))) {
        return std::nullopt;
    }
    while (i < url.size() && (std::isalnum(static_cast<unsigned char>(url[i])) || url[i] == '+' ||
                              url[i] == '-' || url[i] == '.')) {
        ++i;
    }
    if (i >= url.size() - 1 || url[i] != ':') {
        return std::nullopt;
    }
    for (char c : url) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            return std::nullopt;
        }
    }
    return std::string(url);
}

}  // namespace pellimor::chromium
