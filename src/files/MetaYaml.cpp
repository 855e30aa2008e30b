#include "files/MetaYaml.h"

#include <cstdint>

namespace pellimor {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

void AppendHexEscape(std::string& out, unsigned char c) {
    out += "\\x";
    out += kHex[c >> 4];
    out += kHex[c & 0x0F];
}

// The length of the valid UTF-8 sequence at text[i] and its code point; 0 when invalid.
std::size_t Utf8Sequence(std::string_view text, std::size_t i, std::uint32_t& code) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    std::uint32_t min = 0;
    if (lead < 0x80) {
        code = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2;
        code = lead & 0x1F;
        min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        code = lead & 0x0F;
        min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        code = lead & 0x07;
        min = 0x10000;
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
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return 0;
    }
    return length;
}

void AppendLine(std::string& out, std::string_view indent, std::string_view key,
                std::string_view value) {
    out += indent;
    out += key;
    out += ": ";
    out += YamlQuoted(value);
    out += '\n';
}

}  // namespace

std::string YamlQuoted(std::string_view text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        std::uint32_t code = 0;
        const std::size_t length = Utf8Sequence(text, i, code);
        if (length == 0) {
            AppendHexEscape(out, static_cast<unsigned char>(text[i]));
            ++i;
            continue;
        }
        if (code == '"' || code == '\\') {
            out += '\\';
            out += static_cast<char>(code);
        } else if (code == '\n') {
            out += "\\n";
        } else if (code < 0x20 || code == 0x7F) {
            AppendHexEscape(out, static_cast<unsigned char>(code));
        } else if ((code >= 0x80 && code <= 0x9F) || code == 0xFEFF || code == 0x2028 ||
                   code == 0x2029 || code == 0xFFFE || code == 0xFFFF) {
            // Not printable for YAML: written as its code point.
            out += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4) {
                out += kHex[(code >> shift) & 0x0F];
            }
        } else {
            out.append(text.substr(i, length));
        }
        i += length;
    }
    out += '"';
    return out;
}

std::string MetaYamlText(const GameMeta& meta) {
    std::string out;
    AppendLine(out, "", "Title", meta.title);
    AppendLine(out, "", "Alternate Titles", "");
    AppendLine(out, "", "Library", meta.library);
    AppendLine(out, "", "Series", "");
    AppendLine(out, "", "Developer", "");
    AppendLine(out, "", "Publisher", "");
    AppendLine(out, "", "Play Mode", "");
    AppendLine(out, "", "Release Date", meta.releaseDate.value_or(""));
    AppendLine(out, "", "Version", "");
    AppendLine(out, "", "Languages", meta.languages);
    AppendLine(out, "", "Extreme", "");
    AppendLine(out, "", "Tags", meta.tags);
    AppendLine(out, "", "Tag Categories", "");
    AppendLine(out, "", "Source", meta.source);
    AppendLine(out, "", "Primary Platform", "Flash");
    AppendLine(out, "", "Platforms", "Flash");
    AppendLine(out, "", "Status", meta.status);
    AppendLine(out, "", "Application Path", meta.applicationPath);
    AppendLine(out, "", "Launch Command", meta.launchCommand);
    AppendLine(out, "", "Game Notes", "");
    AppendLine(out, "", "Original Description", "");
    AppendLine(out, "", "Curation Notes", meta.curationNotes);
    if (meta.page) {
        out += "Embedding Page:\n";
        AppendLine(out, "  ", "Address", meta.page->address);
        AppendLine(out, "  ", "Embedded With", meta.page->embeddedWith);
        AppendLine(out, "  ", "Flashvars", meta.page->flashvars);
        AppendLine(out, "  ", "Base", meta.page->base);
        AppendLine(out, "  ", "Width", meta.page->width);
        AppendLine(out, "  ", "Height", meta.page->height);
    }
    if (!meta.facts.empty()) {
        out += "SWF Facts:\n";
        for (const auto& [key, value] : meta.facts) {
            AppendLine(out, "  ", key, value);
        }
    }
    out += meta.files.empty() ? "Cached Files: []\n" : "Cached Files:\n";
    for (const MetaFile& file : meta.files) {
        AppendLine(out, "  - ", "Address", file.address);
        AppendLine(out, "    ", "Path", file.path);
    }
    std::string notes;
    for (const std::string& note : meta.notes) {
        notes += (notes.empty() ? "" : "\n") + note;
    }
    AppendLine(out, "", "Export Notes", notes);
    return out;
}

}  // namespace pellimor
