#include "cli/Listing.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>

#include "catalogue/DisplayTexts.h"
#include "cli/TerminalText.h"
#include "sites/ParseUrl.h"

namespace pellimor {

namespace {

// The entries in the order of the movie list; a lookup per line would walk the catalogue
// once for every line.
std::vector<const SwfEntry*> EntriesInLineOrder(const ListingState& state) {
    std::unordered_map<std::int32_t, const SwfEntry*> byKey;
    byKey.reserve(state.catalogue.Count());
    for (const SwfEntry& entry : state.catalogue) {
        byKey.emplace(entry.key, &entry);
    }
    std::vector<const SwfEntry*> entries;
    entries.reserve(state.movieLines.size());
    for (const MovieLine& line : state.movieLines) {
        const auto found = byKey.find(line.key);
        if (found != byKey.end()) {
            entries.push_back(found->second);
        }
    }
    return entries;
}

std::string SelectedSiteText(const ListingState& state) {
    return state.selectedSite >= 0 ? state.siteItems[static_cast<std::size_t>(state.selectedSite)]
                                   : "";
}

}  // namespace

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        const std::size_t length = Utf8Length(text, i);
        if (length == 0) {
            out += "\\ufffd";
            ++i;
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(c));
            out += escaped;
        } else {
            out.append(text, i, length);
        }
        i += length;
    }
    return out + "\"";
}

std::string ListingAsText(const ListingState& state, const std::string& cacheFolder) {
    // Names, addresses and sites come from the cache: shown with their control bytes escaped.
    std::string text = "Cache: " + ForTerminal(cacheFolder) +
                       "\nSite:  " + ForTerminal(SelectedSiteText(state)) + "\n\n";
    if (state.movieLines.empty()) {
        text += "No movies.\n";
    }
    // Columns line up by the cells a terminal draws, not by bytes: a Turkish or Japanese
    // name takes fewer cells than it has bytes.
    const std::vector<const SwfEntry*> entries = EntriesInLineOrder(state);
    std::size_t width = 4;
    for (const SwfEntry* entry : entries) {
        width = std::max(width, DisplayWidth(ForTerminal(entry->displayName)));
    }
    for (const SwfEntry* found : entries) {
        const SwfEntry& entry = *found;
        char sizeColumn[32];
        std::snprintf(sizeColumn, sizeof sizeColumn, "%14s", entry.sizeText.c_str());
        text += PaddedTo(ForTerminal(entry.displayName), width + 2) + sizeColumn + "  " +
                PaddedTo(entry.lastModified, 29) + "  " + ForTerminal(entry.url) + "\n";
    }
    text += "\nSites:\n";
    for (std::size_t i = 0; i < state.siteItems.size(); ++i) {
        text += (static_cast<int>(i) == state.selectedSite ? "* " : "  ") +
                ForTerminal(state.siteItems[i]) + "\n";
    }
    return text;
}

std::string ListingAsJson(const ListingState& state, const std::string& cacheFolder) {
    std::string json =
        "{\n  \"cache\": " + JsonString(cacheFolder) + ",\n  \"site\": " + JsonString(state.site) +
        ",\n  \"selectedSite\": " + JsonString(SelectedSiteText(state)) + ",\n  \"movies\": [";
    bool first = true;
    for (const SwfEntry* found : EntriesInLineOrder(state)) {
        const SwfEntry& e = *found;
        json += std::string(first ? "" : ",") + "\n    {\"key\": " + std::to_string(e.key) +
                ", \"displayName\": " + JsonString(e.displayName) +
                ", \"url\": " + JsonString(e.url) + ", \"localPath\": " + JsonString(e.localPath) +
                ", \"sizeText\": " + JsonString(e.sizeText) +
                ", \"lastModified\": " + JsonString(e.lastModified) +
                ", \"site\": " + JsonString(e.IsLeftover() ? std::string() : SiteFromUrl(e.url)) +
                ", \"bytes\": " + (e.sizeBytes ? std::to_string(*e.sizeBytes) : "null") +
                ", \"lastModifiedUtc\": " +
                (e.lastModifiedTime ? JsonString(FormatIsoTime(*e.lastModifiedTime)) : "null") +
                ", \"source\": " + JsonString(e.source) +
                (e.unreadable.empty() ? "" : ", \"unreadable\": " + JsonString(e.unreadable)) + "}";
        first = false;
    }
    json += std::string(first ? "" : "\n  ") + "],\n  \"sites\": [";
    for (std::size_t i = 0; i < state.siteItems.size(); ++i) {
        json += (i == 0 ? "" : ", ") + JsonString(state.siteItems[i]);
    }
    return json + "]\n}\n";
}

}  // namespace pellimor
