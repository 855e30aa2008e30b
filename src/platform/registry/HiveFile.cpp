#include "platform/registry/HiveFile.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <sstream>

namespace pellimor {

namespace {

constexpr std::string_view kRoot = "HKEY_CURRENT_USER\\";

std::string Folded(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

std::string FullKey(const std::string& key) {
    return Folded(std::string(kRoot) + key);
}

// Reads a quoted .reg string starting at text[pos] == '"'; pos ends after the closing quote.
std::optional<std::string> ReadQuoted(const std::string& text, std::size_t& pos) {
    if (pos >= text.size() || text[pos] != '"') {
        return std::nullopt;
    }
    std::string out;
    for (++pos; pos < text.size(); ++pos) {
        if (text[pos] == '\\' && pos + 1 < text.size()) {
            out += text[++pos];
        } else if (text[pos] == '"') {
            ++pos;
            return out;
        } else {
            out += text[pos];
        }
    }
    return std::nullopt;
}

std::optional<RegistryValue> ParseData(const std::string& data) {
    RegistryValue value;
    if (!data.empty() && data[0] == '"') {
        std::size_t pos = 0;
        auto text = ReadQuoted(data, pos);
        if (!text || pos != data.size()) {
            return std::nullopt;
        }
        value.type = kRegSz;
        value.data = *text;
        return value;
    }
    std::string hexPart;
    if (data.rfind("dword:", 0) == 0) {
        value.type = 4;
        return value;
    }
    if (data.rfind("hex:", 0) == 0) {
        value.type = 3;
        hexPart = data.substr(4);
    } else if (data.rfind("hex(", 0) == 0) {
        const auto close = data.find("):");
        if (close == std::string::npos) {
            return std::nullopt;
        }
        const std::string type = data.substr(4, close - 4);
        const auto [end, status] =
            std::from_chars(type.data(), type.data() + type.size(), value.type, 16);
        if (type.empty() || status != std::errc() || end != type.data() + type.size()) {
            return std::nullopt;
        }
        hexPart = data.substr(close + 2);
    } else {
        return std::nullopt;
    }
    std::string digits;
    for (char c : hexPart) {
        if (std::isxdigit(static_cast<unsigned char>(c))) {
            digits += c;
        } else if (c != ',' && c != '\\' && c != '\n' && c != ' ' && c != '\r') {
            return std::nullopt;
        }
    }
    const auto nibble = [](char c) {
        return static_cast<unsigned>(
            std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::tolower(c) - 'a' + 10);
    };
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
        value.data += static_cast<char>(nibble(digits[i]) << 4 | nibble(digits[i + 1]));
    }
    return value;
}

std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == '"') {
            out += '\\';
        }
        out += c;
    }
    return out;
}

}  // namespace

std::string FormatValueLine(const std::string& name, const RegistryValue& value) {
    std::string line = "@=";
    if (!name.empty()) {
        line.assign(1, '"').append(Escaped(name)).append("\"=");
    }
    if (value.type == kRegSz) {
        return line.append(1, '"').append(Escaped(value.data)).append(1, '"');
    }
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "hex(%x):", value.type);
    line += prefix;
    for (std::size_t i = 0; i < value.data.size(); ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, "%02x", static_cast<unsigned char>(value.data[i]));
        if (i > 0) {
            line.push_back(',');
        }
        line.append(byte);
    }
    return line;
}

HiveFile HiveFile::Empty() {
    HiveFile hive;
    hive.lines_.push_back({kHeader, "", "", false, false, {}});
    hive.lines_.push_back({"", "", "", false, false, {}});
    return hive;
}

std::optional<HiveFile> HiveFile::Parse(const std::string& input) {
    std::string text = input;
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) {
        text.erase(0, 3);
    }
    std::vector<std::string> raw;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        raw.push_back(line);
    }
    HiveFile hive;
    bool headerSeen = false;
    std::string section;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        std::string line = raw[i];
        const std::string trimmed = line.substr(0, line.find_last_not_of(" \t") + 1);
        if (!headerSeen) {
            if (trimmed.empty()) {
                hive.lines_.push_back({line, "", "", false, false, {}});
                continue;
            }
            if (trimmed != kHeader && trimmed != "REGEDIT4") {
                return std::nullopt;
            }
            headerSeen = true;
            hive.lines_.push_back({line, "", "", false, false, {}});
            continue;
        }
        if (trimmed.empty() || trimmed[0] == ';') {
            hive.lines_.push_back({line, section, "", false, false, {}});
            continue;
        }
        if (trimmed[0] == '[') {
            if (trimmed.back() != ']') {
                return std::nullopt;
            }
            section = Folded(trimmed.substr(1, trimmed.size() - 2));
            hive.lines_.push_back({line, section, "", false, true, {}});
            continue;
        }
        // A value line, with continuation lines for long hex data.
        while (!line.empty() && line.back() == '\\') {
            if (i + 1 == raw.size()) {
                return std::nullopt;  // a continuation with nothing to continue
            }
            line += "\n" + raw[++i];
        }
        std::string name;
        std::size_t pos = 0;
        if (line[0] == '@') {
            pos = 1;
        } else {
            auto quoted = ReadQuoted(line, pos);
            if (!quoted) {
                return std::nullopt;
            }
            name = *quoted;
        }
        const auto value =
            pos < line.size() && line[pos] == '=' ? ParseData(line.substr(pos + 1)) : std::nullopt;
        if (!value || section.empty()) {
            return std::nullopt;
        }
        hive.lines_.push_back({line, section, Folded(name), true, false, *value});
    }
    if (!headerSeen) {
        return text.empty() ? std::optional<HiveFile>(Empty()) : std::nullopt;
    }
    return hive;
}

std::string HiveFile::Serialize() const {
    std::string text;
    for (const Line& line : lines_) {
        for (const char c : line.text) {
            text += c == '\n' ? std::string("\r\n") : std::string(1, c);
        }
        text += "\r\n";
    }
    return text;
}

bool HiveFile::HasKey(const std::string& key) const {
    const std::string full = FullKey(key);
    return std::any_of(lines_.begin(), lines_.end(),
                       [&full](const Line& l) { return l.isSection && l.section == full; });
}

std::optional<RegistryValue> HiveFile::FindValue(const std::string& key,
                                                 const std::string& name) const {
    const std::string full = FullKey(key);
    const std::string folded = Folded(name);
    for (const Line& line : lines_) {
        if (line.isValue && line.section == full && line.valueName == folded) {
            return line.value;
        }
    }
    return std::nullopt;
}

bool HiveFile::SetValue(const std::string& key, const std::string& name,
                        const RegistryValue& value) {
    const std::string full = FullKey(key);
    const std::string folded = Folded(name);
    std::optional<std::size_t> sectionAt;
    std::size_t lastOfSection = 0;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        Line& line = lines_[i];
        if (line.section != full) {
            continue;
        }
        if (line.isValue && line.valueName == folded) {
            line.text = FormatValueLine(name, value);
            line.value = value;
            return true;
        }
        if (line.isSection && !sectionAt) {
            sectionAt = i;
        }
        if (sectionAt && (line.isValue || line.isSection)) {
            lastOfSection = i;
        }
    }
    if (!sectionAt) {
        return false;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(lastOfSection + 1),
                  Line{FormatValueLine(name, value), full, folded, true, false, value});
    return true;
}

void HiveFile::AddKey(const std::string& key) {
    std::size_t from = 0;
    for (;;) {
        const auto slash = key.find('\\', from);
        const std::string part = key.substr(0, slash);
        if (!part.empty() && !HasKey(part)) {
            if (!lines_.empty() && !lines_.back().text.empty()) {
                lines_.push_back({"", FullKey(part), "", false, false, {}});
            }
            std::string header(1, '[');
            header.append(kRoot).append(part).push_back(']');
            lines_.push_back({header, FullKey(part), "", false, true, {}});
            lines_.push_back({"", FullKey(part), "", false, false, {}});
        }
        if (slash == std::string::npos) {
            return;
        }
        from = slash + 1;
    }
}

}  // namespace pellimor
