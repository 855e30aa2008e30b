#include "platform/registry/HiveSyntax.h"

#include <cstdint>
#include <cstdio>
#include <string_view>

#include "ground/AsciiText.h"

namespace pellimor::hive {

namespace {

constexpr std::string_view kRootName = "HKEY_CURRENT_USER";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

unsigned HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return static_cast<unsigned>(c - '0');
    }
    return static_cast<unsigned>((c | 0x20) - 'a' + 10);
}

std::size_t SkipBlanks(const std::string& s, std::size_t p) {
    while (p < s.size() && IsBlank(s[p])) {
        ++p;
    }
    return p;
}

bool AtEndOrComment(const std::string& s, std::size_t p) {
    p = SkipBlanks(s, p);
    return p == s.size() || s[p] == ';';
}

// Reads a quoted text from just after its opening quote to its closing quote, undoing
// the escapes; p ends after the closing quote.
std::optional<std::string> Unescape(const std::string& s, std::size_t& p) {
    std::string out;
    while (p < s.size()) {
        const char c = s[p++];
        if (c == '"') {
            return out;
        }
        if (c != '\\') {
            out += c;
            continue;
        }
        if (p == s.size()) {
            return std::nullopt;
        }
        const char escaped = s[p++];
        if (escaped == '0') {
            return std::nullopt;  // the editor refuses a zero inside a quoted text
        }
        out += escaped == 'n' ? '\n' : escaped == 'r' ? '\r' : escaped;
    }
    return std::nullopt;
}

std::string Escape(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else {
            if (c == '\\' || c == '"') {
                out += '\\';
            }
            out += c;
        }
    }
    return out;
}

// Comma-separated hex bytes from s[p] on, as far as they go; a trailing backslash says
// that more follow on the next line. end is where the data stops.
bool ReadHexBytes(const std::string& s, std::size_t p, std::string& data, bool& continues,
                  std::size_t& end, std::size_t& backslashAt) {
    std::string bytes;
    for (;;) {
        const std::size_t q = SkipBlanks(s, p);
        std::size_t r = q;
        unsigned value = 0;
        while (r < s.size() && IsHexDigit(s[r])) {
            if (value <= 0xff) {
                value = value * 16 + HexValue(s[r]);
            }
            ++r;
        }
        if (r == q) {
            if (q < s.size() && s[q] == '\\') {
                if (!AtEndOrComment(s, q + 1)) {
                    return false;
                }
                continues = true;
                backslashAt = q;
                end = q + 1;
                break;
            }
            if (q < s.size() && s[q] != ';') {
                return false;
            }
            continues = false;
            end = p;
            break;
        }
        if (value > 0xff) {
            return false;
        }
        bytes += static_cast<char>(value);
        if (r == s.size() || s[r] != ',') {
            if (!AtEndOrComment(s, r)) {
                return false;
            }
            continues = false;
            end = r;
            break;
        }
        p = r + 1;
    }
    data += bytes;
    return true;
}

bool ReadRoot(std::string inner, LineMeaning& meaning) {
    const std::size_t n = kRootName.size();
    if (inner.size() < n || Folded(inner.substr(0, n)) != Folded(std::string(kRootName)) ||
        (inner.size() > n && inner[n] != '\\')) {
        meaning.key = std::move(inner);
        return false;
    }
    meaning.key = inner.size() == n ? std::string() : inner.substr(n + 1);
    return true;
}

}  // namespace

std::string Folded(std::string text) {
    LowerAsciiInPlace(text);
    return text;
}

bool IsBlankOrComment(const std::string& line) {
    return AtEndOrComment(line, 0);
}

bool LooksLikeHexContinuation(const std::string& line) {
    const std::size_t p = SkipBlanks(line, 0);
    return p < line.size() && IsHexDigit(line[p]);
}

namespace {

// "[key]" or "[-key]", from just after the bracket.
LineMeaning SectionLine(const std::string& s, std::size_t p) {
    const std::size_t close = s.rfind(']');
    if (p == s.size() || IsBlank(s[p]) || close == std::string::npos || close < p) {
        return LineMeaning();  // the editor ignores it and stays in the current key
    }
    LineMeaning meaning;
    std::string inner = s.substr(p, close - p);
    meaning.kind = LineKind::kSection;
    if (!inner.empty() && inner[0] == '-') {
        meaning.kind = LineKind::kKeyDeletion;
        inner.erase(0, 1);
    }
    meaning.ownRoot = ReadRoot(std::move(inner), meaning);
    return meaning;
}

// "dword:" data, from just after it; false for a line the editor ignores.
bool ReadDword(const std::string& s, std::size_t p, LineMeaning& meaning) {
    const std::size_t q = SkipBlanks(s, p);
    std::size_t r = q;
    std::uint32_t number = 0;
    while (r < s.size() && IsHexDigit(s[r]) && r - q < 8) {
        number = number << 4 | HexValue(s[r++]);
    }
    if (r == q || !AtEndOrComment(s, r)) {
        return false;
    }
    meaning.kind = LineKind::kValue;
    meaning.value.type = 4;
    for (int i = 0; i < 4; ++i) {
        meaning.value.data += static_cast<char>(number >> (8 * i) & 0xff);
    }
    meaning.dataEnd = r;
    return true;
}

// "hex:" or "hex(type):" data, from p; false for a line the editor ignores.
bool ReadHexData(const std::string& s, std::size_t p, LineMeaning& meaning) {
    std::size_t q = 0;
    if (s.compare(p, 4, "hex:") == 0) {
        meaning.value.type = 3;
        q = p + 4;
    } else if (s.compare(p, 4, "hex(") == 0) {
        std::size_t r = p + 4;
        std::uint32_t type = 0;
        while (r < s.size() && IsHexDigit(s[r]) && r - (p + 4) < 8) {
            type = type << 4 | HexValue(s[r++]);
        }
        if (r == p + 4 || s.compare(r, 2, "):") != 0) {
            return false;
        }
        meaning.value.type = type;
        q = r + 2;
    } else {
        return false;
    }
    if (!ReadHexBytes(s, q, meaning.value.data, meaning.continues, meaning.dataEnd,
                      meaning.backslashAt)) {
        return false;
    }
    meaning.kind = LineKind::kValue;
    return true;
}

}  // namespace

LineMeaning ReadLine(const std::string& s) {
    const LineMeaning other;
    std::size_t p = SkipBlanks(s, 0);
    if (p == s.size()) {
        return other;
    }
    if (s[p] == '[') {
        return SectionLine(s, p + 1);
    }
    LineMeaning meaning;
    if (s[p] == '@') {
        ++p;
    } else if (s[p] == '"') {
        ++p;
        auto name = Unescape(s, p);
        if (!name) {
            return other;
        }
        meaning.name = std::move(*name);
    } else {
        return other;
    }
    p = SkipBlanks(s, p);
    if (p == s.size() || s[p] != '=') {
        return other;
    }
    p = SkipBlanks(s, p + 1);
    meaning.dataBegin = p;
    if (p < s.size() && s[p] == '-') {
        if (!AtEndOrComment(s, p + 1)) {
            return other;
        }
        meaning.kind = LineKind::kValueDeletion;
        meaning.dataEnd = p + 1;
        return meaning;
    }
    if (p < s.size() && s[p] == '"') {
        std::size_t q = p + 1;
        auto text = Unescape(s, q);
        if (!text || !AtEndOrComment(s, q)) {
            return other;
        }
        meaning.kind = LineKind::kValue;
        meaning.value = {kRegSz, std::move(*text)};
        meaning.dataEnd = q;
        return meaning;
    }
    const bool read =
        s.compare(p, 6, "dword:") == 0 ? ReadDword(s, p + 6, meaning) : ReadHexData(s, p, meaning);
    return read ? meaning : other;
}

bool ReadHexContinuation(const std::string& line, RegistryValue& value, bool& continues,
                         std::size_t& dataEnd, std::size_t& backslashAt) {
    if (!LooksLikeHexContinuation(line)) {
        return false;
    }
    std::string bytes;
    bool more = false;
    std::size_t end = 0;
    std::size_t backslash = 0;
    if (!ReadHexBytes(line, 0, bytes, more, end, backslash)) {
        return false;
    }
    value.data += bytes;
    continues = more;
    dataEnd = end;
    backslashAt = backslash;
    return true;
}

std::string FormatData(const RegistryValue& value) {
    if (value.type == kRegSz && value.data.find('\0') == std::string::npos) {
        return '"' + Escape(value.data) + '"';
    }
    char text[32];
    if (value.type == 4 && value.data.size() == 4) {
        std::uint32_t number = 0;
        for (int i = 3; i >= 0; --i) {
            number = number << 8 | static_cast<unsigned char>(value.data[i]);
        }
        std::snprintf(text, sizeof text, "dword:%08x", number);
        return text;
    }
    std::string out = "hex:";
    if (value.type != 3) {
        std::snprintf(text, sizeof text, "hex(%x):", value.type);
        out = text;
    }
    for (std::size_t i = 0; i < value.data.size(); ++i) {
        std::snprintf(text, sizeof text, i == 0 ? "%02x" : ",%02x",
                      static_cast<unsigned char>(value.data[i]));
        out += text;
    }
    return out;
}

std::optional<std::string> FormatValueLine(const std::string& name, const RegistryValue& value) {
    if (name.find('\0') != std::string::npos) {
        return std::nullopt;  // a value name cannot hold a zero byte
    }
    std::string line = name.empty() ? std::string("@") : '"' + Escape(name) + '"';
    line += '=' + FormatData(value);
    const LineMeaning back = ReadLine(line);
    if (back.kind != LineKind::kValue || back.name != name || !(back.value == value) ||
        back.continues) {
        return std::nullopt;
    }
    return line;
}

std::optional<std::string> FormatSectionLine(const std::string& key) {
    if (key.empty() || key.find_first_of(std::string("\r\n\0", 3)) != std::string::npos ||
        key.front() == '\\' || key.back() == '\\' || key.find("\\\\") != std::string::npos) {
        return std::nullopt;
    }
    std::string line = "[" + std::string(kRootName) + "\\" + key + "]";
    const LineMeaning back = ReadLine(line);
    if (back.kind != LineKind::kSection || !back.ownRoot || back.key != key) {
        return std::nullopt;
    }
    return line;
}

}  // namespace pellimor::hive
