#include "cli/Listing.h"

#include <algorithm>
#include <charconv>
#include <sstream>
#include <unordered_map>

#include "catalogue/DisplayTexts.h"
#include "cli/TerminalText.h"
#include "sites/ParseUrl.h"

namespace pellimor {

namespace {

// Collects the document in pieces and hands each to the stream once it is large enough.
class ChunkedWriter {
  public:
    explicit ChunkedWriter(std::ostream& out) : out_(out) { text_.reserve(kChunk + 4096); }
    ~ChunkedWriter() { Flush(); }
    ChunkedWriter(const ChunkedWriter&) = delete;
    ChunkedWriter& operator=(const ChunkedWriter&) = delete;

    std::string& text() { return text_; }
    // Called between records, never inside one.
    void MaybeFlush() {
        if (text_.size() >= kChunk) {
            Flush();
        }
    }
    void Flush() {
        out_.write(text_.data(), static_cast<std::streamsize>(text_.size()));
        text_.clear();
    }

  private:
    static constexpr std::size_t kChunk = 1 << 16;
    std::ostream& out_;
    std::string text_;
};

// The catalogue's slots in the order of the movie list; a lookup per line would walk the
// catalogue once for every line. Keys run 1, 2, 3 ... per scan, so a table by key serves.
std::vector<std::size_t> SlotsInLineOrder(const ListingState& state) {
    const SwfCatalogue& catalogue = state.catalogue;
    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::int32_t highest = 0;
    for (std::size_t slot = 0; slot < catalogue.Slots(); ++slot) {
        if (catalogue.IsLive(slot)) {
            highest = std::max(highest, catalogue.KeyAt(slot));
        }
    }
    std::vector<std::size_t> slots;
    slots.reserve(state.movieLines.size());
    const auto dense = static_cast<std::size_t>(highest);
    if (dense <= 2 * catalogue.Count() + 16) {
        std::vector<std::size_t> byKey(dense + 1, kNone);
        for (std::size_t slot = 0; slot < catalogue.Slots(); ++slot) {
            const std::int32_t key = catalogue.KeyAt(slot);
            // The first entry of a key wins, as with a map.
            if (catalogue.IsLive(slot) && key >= 0 &&
                byKey[static_cast<std::size_t>(key)] == kNone) {
                byKey[static_cast<std::size_t>(key)] = slot;
            }
        }
        for (const MovieLine& line : state.movieLines) {
            if (line.key >= 0 && static_cast<std::size_t>(line.key) <= dense &&
                byKey[static_cast<std::size_t>(line.key)] != kNone) {
                slots.push_back(byKey[static_cast<std::size_t>(line.key)]);
            }
        }
        return slots;
    }
    std::unordered_map<std::int32_t, std::size_t> byKey;
    byKey.reserve(catalogue.Count());
    for (std::size_t slot = 0; slot < catalogue.Slots(); ++slot) {
        if (catalogue.IsLive(slot)) {
            byKey.emplace(catalogue.KeyAt(slot), slot);
        }
    }
    for (const MovieLine& line : state.movieLines) {
        const auto found = byKey.find(line.key);
        if (found != byKey.end()) {
            slots.push_back(found->second);
        }
    }
    return slots;
}

std::string SelectedSiteText(const ListingState& state) {
    return state.selectedSite >= 0 ? state.siteItems[static_cast<std::size_t>(state.selectedSite)]
                                   : "";
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Cells on a terminal: every ASCII byte takes one, the rest is measured character by character.
std::size_t Cells(std::string_view text) {
    return IsAscii(text) ? text.size() : DisplayWidth(text);
}

// Appends text, then spaces up to width cells (PaddedTo).
void AppendPadded(std::string& out, std::string_view text, std::size_t width) {
    out += text;
    const std::size_t shown = Cells(text);
    if (shown < width) {
        out.append(width - shown, ' ');
    }
}

// Appends ForTerminal(text) padded to width cells.
void AppendPaddedForTerminal(std::string& out, std::string_view text, std::size_t width) {
    const std::size_t start = out.size();
    AppendForTerminal(out, text);
    const std::size_t shown = Cells(std::string_view(out).substr(start));
    if (shown < width) {
        out.append(width - shown, ' ');
    }
}

template <typename Number>
void AppendNumber(std::string& out, Number value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end);
}

// JsonString(text) appended to out.
void AppendJson(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x80 && c != '"' && c != '\\') {
            out += c;
            ++i;
            continue;
        }
        const std::size_t length = Utf8Length(text, i);
        if (length == 0) {
            out += "\\ufffd";
            ++i;
            continue;
        }
        const char32_t code = DecodedUtf8(text, i, length);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || IsHiddenControl(code)) {
            // Escaped, the same text: printed raw, a C1 control or a direction mark would act.
            const char escaped[] = {'\\',
                                    'u',
                                    kHex[(code >> 12) & 0xF],
                                    kHex[(code >> 8) & 0xF],
                                    kHex[(code >> 4) & 0xF],
                                    kHex[code & 0xF]};
            out.append(escaped, sizeof escaped);
        } else {
            out.append(text.substr(i, length));
        }
        i += length;
    }
    out += '"';
}

void WriteText(const ListingState& state, const std::string& cacheFolder, std::ostream& stream) {
    ChunkedWriter writer(stream);
    std::string& text = writer.text();
    // Names, addresses and sites come from the cache: shown with their control bytes escaped.
    text += "Cache: ";
    AppendForTerminal(text, cacheFolder);
    text += "\nSite:  ";
    AppendForTerminal(text, SelectedSiteText(state));
    text += "\n\n";
    if (state.movieLines.empty()) {
        text += "No movies.\n";
    }
    // Columns line up by the cells a terminal draws, not by bytes: a Turkish or Japanese
    // name takes fewer cells than it has bytes.
    const std::vector<std::size_t> slots = SlotsInLineOrder(state);
    std::size_t width = 4;
    // The browser whose cache holds each movie, so that one name held by two browsers is
    // told apart; leftover files have none, and a listing of them only no such column.
    std::size_t sourceWidth = 0;
    std::string shown;
    for (const std::size_t slot : slots) {
        shown.clear();
        AppendForTerminal(shown, state.catalogue.DisplayNameAt(slot));
        width = std::max(width, Cells(shown));
        shown.clear();
        AppendForTerminal(shown, state.catalogue.ViewAt(slot).source);
        sourceWidth = std::max(sourceWidth, Cells(shown));
    }
    constexpr std::size_t kSizeColumn = 14;
    for (const std::size_t slot : slots) {
        const SwfEntryView entry = state.catalogue.ViewAt(slot);
        AppendPaddedForTerminal(text, entry.displayName, width + 2);
        if (entry.sizeText.size() < kSizeColumn) {
            text.append(kSizeColumn - entry.sizeText.size(), ' ');
        }
        text += entry.sizeText;
        text += "  ";
        AppendPadded(text, entry.lastModified, 29);
        text += "  ";
        if (sourceWidth != 0) {
            AppendPaddedForTerminal(text, entry.source, sourceWidth);
            text += "  ";
        }
        AppendForTerminal(text, entry.url);
        text += '\n';
        writer.MaybeFlush();
    }
    text += "\nSites:\n";
    for (std::size_t i = 0; i < state.siteItems.size(); ++i) {
        text += static_cast<int>(i) == state.selectedSite ? "* " : "  ";
        AppendForTerminal(text, state.siteItems[i]);
        text += '\n';
        writer.MaybeFlush();
    }
}

void WriteJson(const ListingState& state, const std::string& cacheFolder, std::ostream& stream) {
    ChunkedWriter writer(stream);
    std::string& json = writer.text();
    json += "{\n  \"cache\": ";
    AppendJson(json, cacheFolder);
    json += ",\n  \"site\": ";
    AppendJson(json, state.site);
    json += ",\n  \"selectedSite\": ";
    AppendJson(json, SelectedSiteText(state));
    if (!state.cacheError.empty()) {
        // What could not be read, or may be missing: the listing stands, but is not whole.
        json += ",\n  \"cacheError\": ";
        AppendJson(json, state.cacheError);
    }
    json += ",\n  \"movies\": [";
    bool first = true;
    for (const std::size_t slot : SlotsInLineOrder(state)) {
        const SwfEntryView e = state.catalogue.ViewAt(slot);
        json += first ? "\n    {\"key\": " : ",\n    {\"key\": ";
        AppendNumber(json, e.key);
        json += ", \"displayName\": ";
        AppendJson(json, e.displayName);
        json += ", \"url\": ";
        AppendJson(json, e.url);
        json += ", \"localPath\": ";
        AppendJson(json, e.localPath);
        json += ", \"sizeText\": ";
        AppendJson(json, e.sizeText);
        json += ", \"lastModified\": ";
        AppendJson(json, e.lastModified);
        json += ", \"site\": ";
        // The scan keeps each movie's site; it is worked out again only where none was kept.
        if (e.IsLeftover()) {
            json += "\"\"";
        } else if (e.site.empty()) {
            AppendJson(json, SiteFromUrl(e.url));
        } else {
            AppendJson(json, e.site);
        }
        json += ", \"bytes\": ";
        if (e.sizeBytes) {
            AppendNumber(json, *e.sizeBytes);
        } else {
            json += "null";
        }
        json += ", \"lastModifiedUtc\": ";
        if (e.lastModifiedTime) {
            AppendJson(json, FormatIsoTime(*e.lastModifiedTime));
        } else {
            json += "null";
        }
        json += ", \"source\": ";
        AppendJson(json, e.source);
        if (!e.unreadable.empty()) {
            json += ", \"unreadable\": ";
            AppendJson(json, e.unreadable);
        }
        json += '}';
        first = false;
        writer.MaybeFlush();
    }
    json += first ? "],\n  \"sites\": [" : "\n  ],\n  \"sites\": [";
    for (std::size_t i = 0; i < state.siteItems.size(); ++i) {
        if (i != 0) {
            json += ", ";
        }
        AppendJson(json, state.siteItems[i]);
        writer.MaybeFlush();
    }
    json += "]\n}\n";
}

}  // namespace

std::string JsonString(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 2);
    AppendJson(out, text);
    return out;
}

void ListingDocument::WriteTo(std::ostream& out) const {
    if (form_ == Form::kJson) {
        WriteJson(*state_, cacheFolder_, out);
    } else {
        WriteText(*state_, cacheFolder_, out);
    }
}

std::string ListingDocument::str() const {
    std::ostringstream out;
    WriteTo(out);
    return std::move(out).str();
}

ListingDocument ListingAsText(const ListingState& state, const std::string& cacheFolder) {
    return {state, cacheFolder, ListingDocument::Form::kText};
}

ListingDocument ListingAsJson(const ListingState& state, const std::string& cacheFolder) {
    return {state, cacheFolder, ListingDocument::Form::kJson};
}

}  // namespace pellimor
