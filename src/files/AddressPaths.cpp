#include "files/AddressPaths.h"

#include <cstdint>

#include "ground/AsciiText.h"
#include "ground/PercentDecoding.h"

namespace pellimor {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

bool Forbidden(unsigned char c) {
    return c < 0x20 || c == 0x7F || c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' ||
           c == '"' || c == '<' || c == '>' || c == '|';
}

void AppendByteEscaped(std::string& out, unsigned char c) {
    out += '%';
    out += kHex[c >> 4];
    out += kHex[c & 0x0F];
}

std::string Escaped(std::string_view decoded) {
    bool onlyDots = !decoded.empty();
    for (const char c : decoded) {
        onlyDots = onlyDots && c == '.';
    }
    std::string out;
    out.reserve(decoded.size());
    for (const char ch : decoded) {
        const auto c = static_cast<unsigned char>(ch);
        if (Forbidden(c) || (onlyDots && c == '.')) {
            AppendByteEscaped(out, c);
        } else {
            out += ch;
        }
    }
    return out;
}

std::uint32_t Fnv1a(std::string_view text) {
    std::uint32_t hash = 2166136261u;
    for (const char c : text) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    }
    return hash;
}

// Where a cut may fall: not inside a %XX escape, not inside a UTF-8 sequence.
std::size_t SafeCut(std::string_view text, std::size_t at) {
    at = std::min(at, text.size());
    while (at > 0 && at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) {
        --at;
    }
    for (std::size_t back = 1; back <= 2 && back <= at; ++back) {
        if (text[at - back] == '%') {
            at -= back;
            break;
        }
    }
    return at;
}

std::string Capped(const std::string& name) {
    if (name.size() <= kLongestPathSegment) {
        return name;
    }
    std::string extension;
    const auto dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0 && name.size() - dot <= 16) {
        extension = name.substr(dot);
    }
    char mark[10];
    const std::uint32_t hash = Fnv1a(name);
    mark[0] = '~';
    for (int i = 0; i < 8; ++i) {
        mark[1 + i] = kHex[(hash >> (28 - 4 * i)) & 0x0F];
    }
    mark[9] = '\0';
    const std::size_t room = kLongestPathSegment - extension.size() - 9;
    return name.substr(0, SafeCut(name, room)) + mark + extension;
}

}  // namespace

std::string FileNameSegment(std::string_view encoded) {
    return Capped(Escaped(PercentDecoded(encoded)));
}

Result<std::vector<std::string>> AddressPath(std::string_view address, bool keepQuery) {
    const auto colon = address.find(':');
    if (colon == std::string_view::npos) {
        return Fail("not an address of the web");
    }
    const std::string scheme = LoweredAscii(address.substr(0, colon));
    if (scheme != "http" && scheme != "https" && scheme != "ftp") {
        return Fail("not an address of the web");
    }
    std::string_view rest = address.substr(colon + 1);
    if (rest.substr(0, 2) != "//") {
        return Fail("an address without a host");
    }
    rest.remove_prefix(2);
    if (const auto hash = rest.find('#'); hash != std::string_view::npos) {
        rest = rest.substr(0, hash);
    }
    std::string_view query;
    bool hasQuery = false;
    if (const auto mark = rest.find('?'); mark != std::string_view::npos) {
        query = rest.substr(mark + 1);
        hasQuery = true;
        rest = rest.substr(0, mark);
    }
    // A backslash ends the host as a browser reads it.
    const auto hostEnd = rest.find_first_of("/\\");
    std::string_view authority = rest.substr(0, hostEnd);
    std::string_view path = hostEnd == std::string_view::npos ? "" : rest.substr(hostEnd);
    if (const auto at = authority.rfind('@'); at != std::string_view::npos) {
        authority.remove_prefix(at + 1);
    }
    if (!authority.empty() && authority.front() == '[') {
        const auto close = authority.find(']');
        authority =
            authority.substr(0, close == std::string_view::npos ? authority.size() : close + 1);
    } else if (const auto port = authority.rfind(':'); port != std::string_view::npos) {
        authority = authority.substr(0, port);
    }
    const std::string host = FileNameSegment(LoweredAscii(authority));
    if (host.empty()) {
        return Fail("an address without a host");
    }
    std::vector<std::string> segments{host};
    std::string lastName;  // the last segment before it is capped
    bool endsInFolder = true;
    std::size_t start = 0;
    while (start <= path.size()) {
        auto end = path.find_first_of("/\\", start);
        if (end == std::string_view::npos) {
            end = path.size();
        }
        const std::string_view raw = path.substr(start, end - start);
        endsInFolder = raw.empty() || raw == "." || raw == "..";
        if (!raw.empty() && raw != "." && raw != "..") {
            lastName = Escaped(PercentDecoded(raw));
            segments.push_back(Capped(lastName));
        }
        start = end + 1;
    }
    if (endsInFolder || segments.size() == 1) {
        lastName = "index.html";
    } else {
        segments.pop_back();
    }
    if (keepQuery && hasQuery) {
        // The query is decoded as a segment is, so a '/' in it stays a character of the name.
        lastName += "%3F" + Escaped(PercentDecoded(query));
    }
    segments.push_back(Capped(lastName));
    return segments;
}

std::string JoinedPath(const std::vector<std::string>& segments) {
    std::string out;
    for (const std::string& s : segments) {
        out += (out.empty() ? "" : "/") + s;
    }
    return out;
}

}  // namespace pellimor
