#include "sites/Addresses.h"

#include "ground/AsciiText.h"

namespace pellimor {

namespace {

bool NeedsEscape(unsigned char c) {
    return c <= 0x20 || c >= 0x7F || c == '"' || c == '<' || c == '>' || c == '`' || c == '{' ||
           c == '}';
}

void AppendEscaped(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (NeedsEscape(c)) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        } else {
            out += ch;
        }
    }
}

bool IsScheme(std::string_view text) {
    if (text.empty()) {
        return false;
    }
    for (const char c : text) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!letter && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.') {
            return false;
        }
    }
    return true;
}

std::string_view DefaultPort(std::string_view scheme) {
    if (scheme == "http") {
        return "80";
    }
    if (scheme == "https") {
        return "443";
    }
    if (scheme == "ftp") {
        return "21";
    }
    return {};
}

}  // namespace

std::string CanonicalAddress(std::string_view url) {
    url = url.substr(0, url.find('#'));
    const std::size_t mark = url.find("://");
    std::string out;
    out.reserve(url.size() + 1);
    if (mark == std::string_view::npos || !IsScheme(url.substr(0, mark))) {
        AppendEscaped(out, url);
        return out;
    }
    const std::string scheme = LoweredAscii(url.substr(0, mark));
    out += scheme;
    out += "://";
    std::string_view rest = url.substr(mark + 3);
    const std::size_t authorityEnd = std::min(rest.find_first_of("/?"), rest.size());
    std::string_view authority = rest.substr(0, authorityEnd);
    rest.remove_prefix(authorityEnd);
    const std::size_t at = authority.rfind('@');
    if (at != std::string_view::npos) {
        AppendEscaped(out, authority.substr(0, at + 1));
        authority.remove_prefix(at + 1);
    }
    const std::size_t colon = authority.rfind(':');
    if (colon != std::string_view::npos && authority.find(']', colon) == std::string_view::npos) {
        const std::string_view port = authority.substr(colon + 1);
        if (port.empty() || port == DefaultPort(scheme)) {
            authority = authority.substr(0, colon);
        }
    }
    AppendEscaped(out, LoweredAscii(authority));
    if (rest.empty() || rest.front() == '?') {
        out += '/';
    }
    AppendEscaped(out, rest);
    return out;
}

std::string_view WithoutQuery(std::string_view url) {
    return url.substr(0, url.find('?'));
}

std::string ContentTypeFromHeaders(std::string_view headers) {
    constexpr std::string_view kName = "content-type:";
    while (!headers.empty()) {
        const std::size_t end = std::min(headers.find('\n'), headers.size());
        const std::string_view line = headers.substr(0, end);
        headers.remove_prefix(std::min(end + 1, headers.size()));
        if (line.size() > kName.size() && StartsWithIgnoringCase(line, kName)) {
            std::string_view value = line.substr(kName.size());
            return LoweredAscii(TrimmedLine(value.substr(0, value.find(';'))));
        }
    }
    return {};
}

bool IsWebAddress(std::string_view address) {
    for (const std::string_view scheme : {"http://", "https://", "ftp://"}) {
        if (address.size() > scheme.size() && StartsWithIgnoringCase(address, scheme)) {
            return true;
        }
    }
    return false;
}

}  // namespace pellimor
