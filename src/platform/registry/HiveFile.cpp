#include "platform/registry/HiveFile.h"

#include <algorithm>

namespace pellimor {

using hive::Folded;
using hive::LineKind;

namespace {

struct PhysicalLine {
    std::string text;
    std::string eol;
};

// Lines end at "\r\n", "\n" or a lone "\r", as the registry editor splits them.
std::vector<PhysicalLine> SplitLines(const std::string& text) {
    std::vector<PhysicalLine> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n' && text[i] != '\r') {
            continue;
        }
        const std::size_t length =
            text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n' ? 2 : 1;
        lines.push_back({text.substr(start, i - start), text.substr(i, length)});
        i += length - 1;
        start = i + 1;
    }
    if (start < text.size()) {
        lines.push_back({text.substr(start), ""});
    }
    return lines;
}

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The key itself or one below it.
bool IsWithin(const std::string& key, const std::string& ancestor) {
    return key.size() >= ancestor.size() && key.compare(0, ancestor.size(), ancestor) == 0 &&
           (key.size() == ancestor.size() || key[ancestor.size()] == '\\');
}

}  // namespace

HiveFile HiveFile::Empty() {
    HiveFile hive;
    hive.lines_.push_back({kHeader, "\r\n", {}, std::nullopt, false});
    hive.lines_.push_back({"", "\r\n", {}, std::nullopt, false});
    return hive;
}

std::optional<HiveFile> HiveFile::Parse(const std::string& text, std::string* problem) {
    HiveFile hive;
    std::string body = text;
    if (body.rfind("\xEF\xBB\xBF", 0) == 0) {
        hive.bom_ = body.substr(0, 3);
        body.erase(0, 3);
    }
    if (body.rfind("\xFF\xFE", 0) == 0 || body.rfind("\xFE\xFF", 0) == 0) {
        if (problem != nullptr) {
            *problem = "it is UTF-16 text, and only 8-bit registry text is read";
        }
        return std::nullopt;
    }
    const std::vector<PhysicalLine> raw = SplitLines(body);
    std::size_t i = 0;
    while (i < raw.size() && Trimmed(raw[i].text).empty()) {
        hive.lines_.push_back({raw[i].text, raw[i].eol, {}, std::nullopt, false});
        ++i;
    }
    if (i == raw.size()) {
        return Empty();
    }
    const std::string header = Trimmed(raw[i].text);
    if (header != kHeader && header != "REGEDIT4") {
        if (problem != nullptr) {
            *problem = std::string("its first line is not \"") + kHeader + "\"";
        }
        return std::nullopt;
    }
    hive.lines_.push_back({raw[i].text, raw[i].eol, {}, std::nullopt, false});
    if (!raw[i].eol.empty()) {
        hive.eol_ = raw[i].eol;
    }
    std::optional<std::string> section;
    for (++i; i < raw.size();) {
        Line line{raw[i].text, raw[i].eol, hive::ReadLine(raw[i].text), section, false};
        hive::LineMeaning& meaning = line.meaning;
        if (meaning.kind == LineKind::kSection) {
            section = meaning.ownRoot ? std::optional(Folded(meaning.key)) : std::nullopt;
            line.section = section;
        } else if (meaning.kind == LineKind::kKeyDeletion) {
            section.reset();  // the editor sets no values until the next section
            line.section.reset();
        }
        std::size_t next = i + 1;
        // Continued hex data takes the following lines of hex digits; blank lines and
        // comments between them are skipped, as the editor does.
        while (meaning.continues) {
            std::size_t k = next;
            while (k < raw.size() && hive::IsBlankOrComment(raw[k].text)) {
                ++k;
            }
            RegistryValue value = meaning.value;
            bool continues = false;
            std::size_t end = 0;
            std::size_t backslash = 0;
            if (k == raw.size() ||
                !hive::ReadHexContinuation(raw[k].text, value, continues, end, backslash)) {
                break;
            }
            for (; next <= k; ++next) {
                line.text += line.eol;
                line.text += raw[next].text;
                line.eol = raw[next].eol;
            }
            const std::size_t base = line.text.size() - raw[k].text.size();
            meaning.value = std::move(value);
            meaning.continues = continues;
            meaning.dataEnd = base + end;
            meaning.backslashAt = base + backslash;
        }
        line.open = meaning.continues;
        hive.lines_.push_back(std::move(line));
        i = next;
    }
    return hive;
}

std::string HiveFile::Serialize() const {
    std::string text = bom_;
    for (const Line& line : lines_) {
        text += line.text;
        text += line.eol;
    }
    return text;
}

HiveContents HiveFile::Contents() const {
    HiveContents contents;
    for (const Line& line : lines_) {
        const hive::LineMeaning& meaning = line.meaning;
        switch (meaning.kind) {
            case LineKind::kSection:
                if (meaning.ownRoot) {
                    // A key brings every key above it into being.
                    const std::string key = Folded(meaning.key);
                    for (std::size_t slash = key.find('\\'); slash != std::string::npos;
                         slash = key.find('\\', slash + 1)) {
                        contents[key.substr(0, slash)];
                    }
                    contents[key];
                }
                break;
            case LineKind::kKeyDeletion:
                if (meaning.ownRoot && !meaning.key.empty()) {
                    const std::string key = Folded(meaning.key);
                    std::erase_if(contents,
                                  [&key](const auto& entry) { return IsWithin(entry.first, key); });
                }
                break;
            case LineKind::kValue:
                if (line.section) {
                    contents[*line.section][Folded(meaning.name)] = meaning.value;
                }
                break;
            case LineKind::kValueDeletion:
                if (line.section) {
                    contents[*line.section].erase(Folded(meaning.name));
                }
                break;
            case LineKind::kOther:
                break;
        }
    }
    return contents;
}

bool HiveFile::HasKey(const std::string& key) const {
    return Contents().count(Folded(key)) > 0;
}

std::optional<RegistryValue> HiveFile::FindValue(const std::string& key,
                                                 const std::string& name) const {
    const HiveContents contents = Contents();
    const auto found = contents.find(Folded(key));
    if (found == contents.end()) {
        return std::nullopt;
    }
    const auto value = found->second.find(Folded(name));
    if (value == found->second.end()) {
        return std::nullopt;
    }
    return value->second;
}

std::optional<std::size_t> HiveFile::LastContentLine() const {
    for (std::size_t i = lines_.size(); i-- > 0;) {
        if (!hive::IsBlankOrComment(lines_[i].text)) {
            return i;
        }
    }
    return std::nullopt;
}

void HiveFile::Close(std::size_t index) {
    Line& line = lines_[index];
    if (!line.open) {
        return;
    }
    line.text.erase(line.meaning.backslashAt, 1);
    line.meaning.continues = false;
    if (line.meaning.dataEnd > line.meaning.backslashAt) {
        --line.meaning.dataEnd;
    }
    line.open = false;
}

void HiveFile::Append(const std::string& text, const std::optional<std::string>& section) {
    if (!lines_.empty() && lines_.back().eol.empty()) {
        lines_.back().eol = eol_;
    }
    if (const auto last = LastContentLine()) {
        Close(*last);
    }
    lines_.push_back({text, eol_, hive::ReadLine(text), section, false});
}

long HiveFile::SetValue(const std::string& key, const std::string& name,
                        const RegistryValue& value) {
    const auto text = hive::FormatValueLine(name, value);
    if (!text) {
        return kStatusInvalidData;
    }
    if (!HasKey(key)) {
        return kStatusFileNotFound;
    }
    const std::string folded = Folded(key);
    const std::string foldedName = Folded(name);
    // The line that decides the value now, and the last line of the key's last section.
    std::optional<std::size_t> deciding;
    std::optional<std::size_t> sectionEnd;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        const hive::LineMeaning& meaning = line.meaning;
        if (meaning.kind == LineKind::kKeyDeletion) {
            if (meaning.ownRoot && !meaning.key.empty() && IsWithin(folded, Folded(meaning.key))) {
                deciding.reset();
                sectionEnd.reset();
            }
            continue;
        }
        if (line.section != folded) {
            continue;
        }
        if ((meaning.kind == LineKind::kValue || meaning.kind == LineKind::kValueDeletion) &&
            Folded(meaning.name) == foldedName) {
            deciding = i;
        }
        if (!hive::IsBlankOrComment(line.text)) {
            sectionEnd = i;
        }
    }
    if (deciding) {
        // Only the data changes: indentation, the name as spelt and a comment stay.
        Line& line = lines_[*deciding];
        std::string changed = line.text.substr(0, line.meaning.dataBegin) +
                              hive::FormatData(value) + line.text.substr(line.meaning.dataEnd);
        hive::LineMeaning meaning = hive::ReadLine(changed);
        if (meaning.kind != LineKind::kValue || !(meaning.value == value) || meaning.continues) {
            changed = *text;
            meaning = hive::ReadLine(changed);
        }
        line.text = std::move(changed);
        line.meaning = std::move(meaning);
        line.open = false;
        return kStatusSuccess;
    }
    if (sectionEnd) {
        Line& last = lines_[*sectionEnd];
        Close(*sectionEnd);
        if (last.eol.empty()) {
            last.eol = eol_;
        }
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(*sectionEnd + 1),
                      Line{*text, eol_, hive::ReadLine(*text), folded, false});
        return kStatusSuccess;
    }
    // The key exists only through keys below it: it gets a section of its own.
    const auto sectionLine = hive::FormatSectionLine(key);
    if (!sectionLine) {
        return kStatusInvalidData;
    }
    if (!lines_.empty() && !lines_.back().text.empty()) {
        Append("", lines_.back().section);
    }
    Append(*sectionLine, folded);
    Append(*text, folded);
    return kStatusSuccess;
}

long HiveFile::AddKey(const std::string& key) {
    if (!hive::FormatSectionLine(key)) {
        return kStatusInvalidData;
    }
    for (std::size_t from = 0;;) {
        const std::size_t slash = key.find('\\', from);
        const std::string part = key.substr(0, slash);
        if (!HasKey(part)) {
            if (!lines_.empty() && !lines_.back().text.empty()) {
                Append("", lines_.back().section);
            }
            Append(*hive::FormatSectionLine(part), Folded(part));
            Append("", Folded(part));
        }
        if (slash == std::string::npos) {
            break;
        }
        from = slash + 1;
    }
    return kStatusSuccess;
}

}  // namespace pellimor
