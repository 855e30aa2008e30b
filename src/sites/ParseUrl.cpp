#include "sites/ParseUrl.h"

#include <array>

#include "ground/AsciiText.h"

namespace pellimor {

namespace {

struct SchemeInfo {
    std::string_view name;
    std::uint16_t defaultPort;
};

constexpr std::array<SchemeInfo, 8> kSchemes = {{{"ftp", 21},
                                                 {"gopher", 70},
                                                 {"http", 80},
                                                 {"https", 443},
                                                 {"file", 0},
                                                 {"news", 0},
                                                 {"mailto", 0},
                                                 {"socks", 1080}}};

UrlScheme LookUpScheme(std::string_view name) {
    for (std::size_t i = 0; i < kSchemes.size(); ++i) {
        if (EqualIgnoringCase(name, kSchemes[i].name)) {
            return static_cast<UrlScheme>(i);
        }
    }
    return UrlScheme::kOther;
}

std::uint16_t DefaultPort(UrlScheme scheme) {
    return scheme == UrlScheme::kOther ? 0 : kSchemes[static_cast<std::size_t>(scheme)].defaultPort;
}

bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// The decimal number at the start of text, as atoi reads it, reduced to 16 bits.
std::uint16_t LeadingPortNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::uint32_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + static_cast<std::uint32_t>(text[i] - '0');
    }
    return static_cast<std::uint16_t>(negative ? 0u - value : value);
}

// The split itself; the caller resets parts on failure.
bool Split(std::string_view url, UrlParts& parts) {
    if (url.empty()) {
        return false;
    }
    // The work buffer never needs more than the longest part it can become (the host).
    FixedText<256> buffer;
    bool bufferOverflow = false;
    bool schemeSeen = false;
    bool userSeen = false;
    bool hostSeen = false;
    bool portSeen = false;
    const auto takeBuffer = [&](auto& field) {
        return !bufferOverflow && field.assign(buffer.view());
    };
    const auto emptyBuffer = [&] {
        buffer.clear();
        bufferOverflow = false;
    };

    std::size_t pos = 0;
    bool toPhase2 = false;
    while (pos < url.size() && !toPhase2) {
        const char c = url[pos];
        if (c == ':' && !schemeSeen) {
            parts.scheme = bufferOverflow ? UrlScheme::kOther : LookUpScheme(buffer.view());
            parts.port = DefaultPort(parts.scheme);
            if (!takeBuffer(parts.schemeName)) {
                return false;  // an unknown name longer than 32 bytes
            }
            schemeSeen = true;
            const bool slash1 = pos + 1 < url.size() && url[pos + 1] == '/';
            const bool slash2 = pos + 2 < url.size() && url[pos + 2] == '/';
            if (slash1 && slash2) {
                if (parts.scheme == UrlScheme::kMailto) {
                    return false;
                }
                pos += 3;
            } else if (slash1) {
                ++pos;  // a single slash starts the path: no host
                toPhase2 = true;
                emptyBuffer();
                break;
            } else {
                ++pos;
            }
            emptyBuffer();
            if (parts.scheme == UrlScheme::kFile) {
                toPhase2 = true;
            }
            continue;
        }
        if (c == ':' && !(userSeen && portSeen)) {
            std::size_t end = pos + 1;
            while (end < url.size() && url[end] != '/' && url[end] != '@') {
                ++end;
            }
            const std::string_view text = url.substr(pos + 1, end - pos - 1);
            if (text.size() > 128) {
                return false;
            }
            const bool atEnd = end == url.size();
            if (!portSeen && (atEnd || url[end] == '/')) {
                if (!takeBuffer(parts.host)) {
                    return false;
                }
                parts.port = LeadingPortNumber(text);
                portSeen = hostSeen = true;
                pos = end;
            } else if (!userSeen && !atEnd && url[end] == '@') {
                if (!takeBuffer(parts.userName)) {
                    return false;
                }
                if (!text.empty() && parts.userName.empty()) {
                    return false;  // a password without a user name
                }
                parts.password.assign(text);
                userSeen = true;
                pos = end + 1;
            } else {
                return false;
            }
            emptyBuffer();
            continue;
        }
        if (c == '@') {
            if (userSeen || !takeBuffer(parts.userName)) {
                return false;
            }
            userSeen = true;
            ++pos;
            emptyBuffer();
            continue;
        }
        if (c == '/' || c == '?') {
            if (!hostSeen && !takeBuffer(parts.host)) {
                return false;
            }
            hostSeen = true;
            if (!schemeSeen) {
                return false;
            }
            toPhase2 = true;
            break;
        }
        if (!buffer.push_back(c)) {
            bufferOverflow = true;
        }
        ++pos;
        if (pos == url.size()) {
            if (!hostSeen && !takeBuffer(parts.host)) {
                return false;
            }
            hostSeen = true;
        }
    }
    if (!schemeSeen) {
        return false;
    }

    // Phase 2: path and extra part.
    const std::string_view rest = url.substr(pos);
    std::size_t pathEnd = rest.size();
    if (parts.scheme != UrlScheme::kFile) {
        pathEnd = rest.find_first_of("#?");
        if (pathEnd == std::string_view::npos) {
            pathEnd = rest.size();
        }
    }
    if (!parts.urlPath.assign(rest.substr(0, pathEnd)) ||
        !parts.extraInfo.assign(rest.substr(pathEnd))) {
        return false;
    }
    if (parts.scheme == UrlScheme::kFile || parts.scheme == UrlScheme::kNews ||
        parts.scheme == UrlScheme::kMailto) {
        parts.port = 0;
    } else if (!portSeen) {
        parts.port = DefaultPort(parts.scheme);
    }
    return true;
}

}  // namespace

void UrlParts::Reset() {
    schemeName.clear();
    host.clear();
    userName.clear();
    password.clear();
    urlPath.clear();
    extraInfo.clear();
    port = 0;
    scheme = UrlScheme::kOther;
}

bool ParseUrl(std::string_view url, UrlParts& parts) {
    parts.Reset();
    if (!Split(url, parts)) {
        parts.Reset();
        return false;
    }
    return true;
}

std::string SiteFromUrl(const char* url) {
    return url == nullptr ? std::string() : SiteFromUrl(std::string_view(url));
}

std::string SiteFromUrl(std::string_view url) {
    if (url.empty()) {
        return {};
    }
    UrlParts parts;
    if (!ParseUrl(url, parts)) {
        return {};
    }
    std::string_view site = parts.host.view();
    if (site.size() > 4 && EqualIgnoringCase(site.substr(0, 4), "www.")) {
        site.remove_prefix(4);
    }
    return std::string(site);
}

}  // namespace pellimor
