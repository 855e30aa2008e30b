#include "platform/registry/HiveFile.h"

#include <algorithm>
#include <string_view>

#include "ground/AsciiText.h"

namespace pellimor {

using hive::Folded;
using hive::LineKind;

namespace {

// Where the line starting at from ends, and the length of its line end: lines end at
// "\r\n", "\n" or a lone "\r", as the registry editor splits them.
std::size_t LineEnd(const std::string& text, std::size_t from, std::size_t& eolLength) {
    const std::size_t end = text.find_first_of("\r\n", from);
    if (end == std::string::npos) {
        eolLength = 0;
        return text.size();
    }
    eolLength = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1;
    return end;
}

// The key itself or one below it.
bool IsWithin(const std::string& key, const std::string& ancestor) {
    return key.size() >= ancestor.size() && key.compare(0, ancestor.size(), ancestor) == 0 &&
           (key.size() == ancestor.size() || key[ancestor.size()] == '\\');
}

// Continued hex data takes the following lines of hex digits; blank lines and comments
// between them are skipped, as the editor does. pos moves past the lines taken into
// lineText, eol becomes the last one's line end.
void TakeContinuations(const std::string& text, std::size_t& pos, std::string& lineText,
                       std::string& eol, hive::LineMeaning& meaning) {
    while (meaning.continues) {
        std::size_t next = pos;
        std::size_t nextEnd = 0;
        std::size_t nextEol = 0;
        for (; next < text.size(); next = nextEnd + nextEol) {
            nextEnd = LineEnd(text, next, nextEol);
            if (!hive::IsBlankOrComment(text.substr(next, nextEnd - next))) {
                break;
            }
        }
        RegistryValue value = meaning.value;
        bool continues = false;
        std::size_t dataEnd = 0;
        std::size_t backslash = 0;
        if (next >= text.size() ||
            !hive::ReadHexContinuation(text.substr(next, nextEnd - next), value, continues, dataEnd,
                                       backslash)) {
            break;
        }
        lineText += eol;
        lineText += text.substr(pos, next - pos);  // skipped lines, as written
        const std::size_t base = lineText.size();
        lineText += text.substr(next, nextEnd - next);
        eol = text.substr(nextEnd, nextEol);
        pos = nextEnd + nextEol;
        meaning.value = std::move(value);
        meaning.continues = continues;
        meaning.dataEnd = base + dataEnd;
        meaning.backslashAt = base + backslash;
    }
}

}  // namespace

HiveFile HiveFile::Empty() {
    HiveFile hive;
    hive.lines_.push_back({kHeader, "\r\n", {}, std::nullopt, false, true});
    hive.lines_.push_back({"", "\r\n", {}, std::nullopt, false, false});
    return hive;
}

Result<HiveFile> HiveFile::Parse(const std::string& text) {
    HiveFile hive;
    std::size_t pos = 0;
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) {
        hive.bom_ = text.substr(0, 3);
        pos = 3;
    }
    if (text.compare(pos, 2, "\xFF\xFE") == 0 || text.compare(pos, 2, "\xFE\xFF") == 0) {
        return Fail("is UTF-16 text, and only 8-bit registry text is read");
    }
    bool headerSeen = false;
    std::optional<std::string> section;
    while (pos < text.size()) {
        std::size_t eolLength = 0;
        std::size_t end = LineEnd(text, pos, eolLength);
        if (headerSeen && hive.JoinInert(std::string_view(text).substr(pos, end - pos),
                                         std::string_view(text).substr(end, eolLength), section)) {
            pos = end + eolLength;
            continue;
        }
        Line line{
            text.substr(pos, end - pos), text.substr(end, eolLength), {}, section, false, false};
        pos = end + eolLength;
        if (!headerSeen) {
            const std::string header(TrimmedBlanks(line.text));
            if (!header.empty() && header != kHeader && header != "REGEDIT4") {
                return Fail(std::string("is not registry text: its first line is not \"") +
                            kHeader + "\"");
            }
            headerSeen = !header.empty();
            line.content = headerSeen;
            if (headerSeen && eolLength > 0) {
                hive.eol_ = line.eol;
            }
            hive.Keep(std::move(line));
            continue;
        }
        line.meaning = hive::ReadLine(line.text);
        hive::LineMeaning& meaning = line.meaning;
        if (meaning.kind == LineKind::kSection) {
            section = meaning.ownRoot ? std::optional(Folded(meaning.key)) : std::nullopt;
            line.section = section;
        } else if (meaning.kind == LineKind::kKeyDeletion) {
            section.reset();  // the editor sets no values until the next section
            line.section.reset();
        }
        TakeContinuations(text, pos, line.text, line.eol, meaning);
        line.open = meaning.continues;
        line.content = !hive::IsBlankOrComment(line.text);
        hive.Keep(std::move(line));
        if (hive.lines_.size() > kLineLimit) {
            return Fail("has more than " + std::to_string(kLineLimit) +
                        " keys, values and other lines; a settings file has far fewer");
        }
    }
    if (!headerSeen) {
        return Empty();
    }
    return hive;
}

bool HiveFile::JoinInert(std::string_view text, std::string_view eol,
                         const std::optional<std::string>& section) {
    const std::size_t first = text.find_first_not_of(" \t");
    const char c = first == std::string_view::npos ? ';' : text[first];
    if (c == '[' || c == '@' || c == '"' || lines_.empty()) {
        return false;
    }
    Line& last = lines_.back();
    if (last.meaning.kind != LineKind::kOther || last.content != (c != ';') ||
        last.section != section || last.eol.empty()) {
        return false;
    }
    last.text += last.eol;
    last.text += text;
    last.eol = eol;
    return true;
}

void HiveFile::Keep(Line line) {
    // Lines that say nothing to the registry are kept together, so that a file of many
    // blank or unreadable lines costs one entry, not one per line.
    if (line.meaning.kind == LineKind::kOther && !lines_.empty()) {
        Line& last = lines_.back();
        if (last.meaning.kind == LineKind::kOther && last.content == line.content &&
            last.section == line.section && !last.eol.empty()) {
            last.text += last.eol;
            last.text += line.text;
            last.eol = std::move(line.eol);
            return;
        }
    }
    lines_.push_back(std::move(line));
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
        if (lines_[i].content) {
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
    lines_.push_back({text, eol_, hive::ReadLine(text), section, false, !text.empty()});
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
        if (line.content) {
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
                      Line{*text, eol_, hive::ReadLine(*text), folded, false, true});
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
