#include "files/warc/Cdxj.h"

#include <algorithm>
#include <vector>

#include "ground/AsciiText.h"

namespace pellimor {

namespace {

// The length of the valid UTF-8 sequence at text[i]; 0 when there is none.
std::size_t Utf8Length(std::string_view text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    std::uint32_t code = 0;
    std::uint32_t min = 0;
    if (lead < 0x80) {
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, code = lead & 0x1F, min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, code = lead & 0x0F, min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, code = lead & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + length > text.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const auto c = static_cast<unsigned char>(text[i + k]);
        if ((c & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (c & 0x3F);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return code < min || code > 0x10FFFF || surrogate ? 0 : length;
}

}  // namespace

std::string SurtKey(std::string_view uri) {
    std::string url = LoweredAscii(uri);
    std::string_view rest = url;
    std::string defaultPort;
    if (rest.starts_with("http://")) {
        rest.remove_prefix(7);
        defaultPort = "80";
    } else if (rest.starts_with("https://")) {
        rest.remove_prefix(8);
        defaultPort = "443";
    } else {
        return url;
    }
    const auto hostEnd = std::min(rest.find_first_of("/?#"), rest.size());
    std::string_view authority = rest.substr(0, hostEnd);
    rest.remove_prefix(hostEnd);
    if (const auto at = authority.rfind('@'); at != std::string_view::npos) {
        authority.remove_prefix(at + 1);
    }
    std::string_view host = authority;
    std::string_view port;
    if (const auto colon = authority.rfind(':');
        colon != std::string_view::npos && authority.find(']', colon) == std::string_view::npos) {
        host = authority.substr(0, colon);
        port = authority.substr(colon + 1);
    }
    if (host.starts_with("www")) {
        std::size_t i = 3;
        while (i < host.size() && host[i] >= '0' && host[i] <= '9') {
            ++i;
        }
        if (i < host.size() && host[i] == '.') {
            host.remove_prefix(i + 1);
        }
    }
    std::vector<std::string_view> labels;
    for (std::size_t start = 0; start <= host.size();) {
        const auto dot = std::min(host.find('.', start), host.size());
        labels.push_back(host.substr(start, dot - start));
        start = dot + 1;
    }
    std::string key;
    for (auto label = labels.rbegin(); label != labels.rend(); ++label) {
        key += (label != labels.rbegin() ? "," : "") + std::string(*label);
    }
    if (!port.empty() && port != defaultPort) {
        key += ":" + std::string(port);
    }
    key += ')';
    const auto fragment = rest.find('#');
    rest = rest.substr(0, fragment);
    const auto question = rest.find('?');
    const std::string_view path = rest.substr(0, question);
    key += path.empty() ? "/" : std::string(path);
    if (question != std::string_view::npos && question + 1 < rest.size()) {
        std::vector<std::string_view> parts;
        std::string_view query = rest.substr(question + 1);
        for (std::size_t start = 0; start <= query.size();) {
            const auto amp = std::min(query.find('&', start), query.size());
            parts.push_back(query.substr(start, amp - start));
            start = amp + 1;
        }
        std::sort(parts.begin(), parts.end());
        key += '?';
        for (std::size_t i = 0; i < parts.size(); ++i) {
            key += (i > 0 ? "&" : "") + std::string(parts[i]);
        }
    }
    return key;
}

std::string JsonQuoted(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        const auto b = static_cast<unsigned char>(c);
        const std::size_t length = Utf8Length(text, i);
        if (length == 0) {
            out += "\\ufffd";
            ++i;
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (b < 0x20 || b == 0x7F) {
            out += "\\u00";
            out += kHex[b >> 4];
            out += kHex[b & 0x0F];
        } else {
            out.append(text.substr(i, length));
        }
        i += length;
    }
    return out + "\"";
}

std::string CdxjLine(const CdxjRecord& r) {
    std::string json = "{\"url\": " + JsonQuoted(r.uri);
    if (!r.mime.empty()) {
        json += ", \"mime\": " + JsonQuoted(r.mime);
    }
    if (r.status != 0) {
        json += ", \"status\": \"" + std::to_string(r.status) + "\"";
    }
    json += ", \"digest\": " + JsonQuoted(r.digest);
    json += ", \"length\": \"" + std::to_string(r.length) + "\"";
    json += ", \"offset\": \"" + std::to_string(r.offset) + "\"";
    json += ", \"filename\": " + JsonQuoted(r.filename) + "}";
    return SurtKey(r.uri) + " " + r.timestamp + " " + json;
}

}  // namespace pellimor
