#include "files/Curation.h"

#include "ground/AsciiText.h"

namespace pellimor {

namespace {

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

}  // namespace

std::optional<std::string> LanguageCodes(std::string_view text) {
    std::string out;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of(",;", start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view part = TrimmedLine(text.substr(start, end - start));
        start = end + 1;
        // "en", "en-US", "en_GB": the primary subtag, when it is two letters.
        part = part.substr(0, part.find_first_of("-_"));
        if (part.size() != 2 || !IsLetter(part[0]) || !IsLetter(part[1])) {
            continue;
        }
        const std::string code{LowerAscii(part[0]), LowerAscii(part[1])};
        if (out.find(code) == std::string::npos) {
            out += (out.empty() ? "" : "; ") + code;
        }
    }
    if (out.empty()) {
        return std::nullopt;
    }
    return out;
}

std::optional<std::string> HtmlLang(std::string_view page) {
    page = page.substr(0, 64 * 1024);
    for (std::size_t at = page.find('<'); at != std::string_view::npos;
         at = page.find('<', at + 1)) {
        if (at + 5 > page.size()) {
            break;
        }
        std::string name;
        for (std::size_t i = at + 1; i < at + 5; ++i) {
            name += LowerAscii(page[i]);
        }
        if (name != "html" || (at + 5 < page.size() && IsLetter(page[at + 5]))) {
            continue;
        }
        const std::size_t end = page.find('>', at);
        const std::string_view tag =
            page.substr(at, end == std::string_view::npos ? 512 : end - at);
        std::string lower;
        for (const char c : tag) {
            lower += LowerAscii(c);
        }
        for (std::size_t k = lower.find("lang"); k != std::string::npos;
             k = lower.find("lang", k + 1)) {
            // "lang" as an attribute of its own, or xml:lang; not data-lang.
            const char before = lower[k - 1];
            if (before != ' ' && before != '\t' && before != '\n' && before != '\r' &&
                before != ':') {
                continue;
            }
            std::size_t v = k + 4;
            while (v < lower.size() && lower[v] == ' ') {
                ++v;
            }
            if (v >= lower.size() || lower[v] != '=') {
                continue;
            }
            ++v;
            while (v < lower.size() && lower[v] == ' ') {
                ++v;
            }
            const char quote =
                v < lower.size() && (lower[v] == '"' || lower[v] == '\'') ? lower[v] : 0;
            const std::size_t from = quote ? v + 1 : v;
            const std::size_t to =
                quote ? tag.find(quote, from) : tag.find_first_of(" \t\r\n/", from);
            return std::string(
                tag.substr(from, (to == std::string_view::npos ? tag.size() : to) - from));
        }
        return std::nullopt;
    }
    return std::nullopt;
}

std::string TagList(std::string_view text) {
    std::string out;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(';', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view tag = TrimmedLine(text.substr(start, end - start));
        start = end + 1;
        if (!tag.empty()) {
            out += (out.empty() ? "" : "; ") + std::string(tag);
        }
    }
    return out;
}

std::string HttpAddress(std::string_view address) {
    if (address.size() >= 8) {
        std::string scheme;
        for (const char c : address.substr(0, 8)) {
            scheme += LowerAscii(c);
        }
        if (scheme == "https://") {
            return "http://" + std::string(address.substr(8));
        }
    }
    return std::string(address);
}

}  // namespace pellimor
