#include "cli/MovieChoice.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "cli/SiteSuggestions.h"
#include "cli/TerminalText.h"
#include "ground/AsciiText.h"
#include "resources/Strings.h"
#include "sites/ParseUrl.h"

namespace pellimor {

namespace {

constexpr std::size_t kSuggestedSites = 3;

std::string SiteOf(const SwfEntry& entry) {
    return entry.IsLeftover() ? std::string("leftover file") : SiteFromUrl(entry.url);
}

std::unordered_map<std::int32_t, const SwfEntry*> EntriesByKey(const ListingState& state) {
    std::unordered_map<std::int32_t, const SwfEntry*> byKey;
    byKey.reserve(state.catalogue.Count());
    for (const SwfEntry& entry : state.catalogue) {
        byKey.emplace(entry.key, &entry);
    }
    return byKey;
}

// The movie list's entries, in its order, of the sites that contain site.
std::vector<const SwfEntry*> Candidates(const ListingState& state, const std::string& site) {
    const auto byKey = EntriesByKey(state);
    const std::string wanted = LoweredAscii(site);  // host names know no letter case
    std::vector<const SwfEntry*> entries;
    for (const MovieLine& line : state.movieLines) {
        const auto found = byKey.find(line.key);
        if (found == byKey.end()) {
            continue;
        }
        // The scan keeps movies without a site under every filter and falls back to all sites
        // when no site begins with the text: here only the named sites count.
        const SwfEntry& entry = *found->second;
        if (site.empty() ||
            (!entry.IsLeftover() &&
             LoweredAscii(SiteFromUrl(entry.url)).find(wanted) != std::string::npos)) {
            entries.push_back(found->second);
        }
    }
    return entries;
}

std::string UnknownSite(const ListingState& state, const std::string& site) {
    std::vector<std::string> sites;
    for (const std::string& item : state.siteItems) {
        if (item != strings::Load(strings::kAllSites) &&
            item != strings::Load(strings::kLeftoverFiles)) {
            sites.push_back(item);
        }
    }
    std::string text = "--site " + ForTerminal(site) + ": no site of this cache contains it";
    if (sites.empty()) {
        return text + "; the cache lists no sites";
    }
    std::string closest;
    for (const std::string& name : ClosestSites(site, sites, kSuggestedSites)) {
        closest += (closest.empty() ? "" : ", ") + ForTerminal(name);
    }
    return text + "; the closest: " + closest;
}

}  // namespace

MovieChoice ChooseMovies(const ListingState& state, const MovieRequest& request) {
    MovieChoice choice;
    const std::vector<const SwfEntry*> candidates = Candidates(state, request.site);
    if (!request.site.empty() && candidates.empty()) {
        choice.refusal = UnknownSite(state, request.site);
        return choice;
    }
    std::unordered_set<std::int32_t> taken;
    const auto take = [&](std::int32_t key) {
        if (taken.insert(key).second || request.twiceIfNamedTwice) {
            choice.keys.push_back(key);
        }
    };
    if (request.all) {
        for (const SwfEntry* entry : candidates) {
            take(entry->key);
        }
    }
    const auto pick = [&](const std::string& wanted, bool byAddress) {
        std::vector<std::int32_t> matches;
        for (const SwfEntry* entry : candidates) {
            if ((byAddress ? entry->url : entry->displayName) == wanted) {
                matches.push_back(entry->key);
            }
        }
        if (matches.empty()) {
            choice.missing.push_back(wanted);
        } else if (matches.size() > 1 && !request.allMatching) {
            if (!choice.refusal.empty()) {
                choice.refusal += '\n';
            }
            choice.refusal += ForTerminal(wanted) + ": " + std::to_string(matches.size()) +
                              (byAddress ? " movies have this address; take them all with "
                                           "--all-matching:\n"
                                         : " movies have this name; pick one with --url "
                                           "ADDRESS, or take them all with --all-matching:\n") +
                              MovieTable(state, matches, byAddress);
        } else {
            std::for_each(matches.begin(), matches.end(), take);
        }
    };
    for (const std::string& name : request.names) {
        pick(name, false);
    }
    for (const std::string& url : request.urls) {
        pick(url, true);
    }
    if (!choice.refusal.empty()) {
        choice.refusal.pop_back();  // the table's last line break
        choice.keys.clear();
    }
    return choice;
}

std::string MovieTable(const ListingState& state, std::span<const std::int32_t> keys,
                       bool withFile) {
    const auto byKey = EntriesByKey(state);
    std::vector<std::vector<std::string>> rows;
    std::vector<std::size_t> widths(3, 0);
    for (const std::int32_t key : keys) {
        const auto found = byKey.find(key);
        if (found == byKey.end()) {
            continue;
        }
        const SwfEntry& entry = *found->second;
        std::vector<std::string> row = {ForTerminal(entry.displayName), ForTerminal(SiteOf(entry)),
                                        ForTerminal(entry.url)};
        if (withFile) {
            row.push_back(ForTerminal(entry.localPath));
        }
        for (std::size_t c = 0; c < widths.size(); ++c) {
            widths[c] = std::max(widths[c], DisplayWidth(row[c]));
        }
        rows.push_back(std::move(row));
    }
    std::string table;
    for (const auto& row : rows) {
        std::string line = " ";
        for (std::size_t c = 0; c < row.size(); ++c) {
            // Lined up by the cells the terminal draws, not by bytes.
            line += " " + (c + 1 < row.size() ? PaddedTo(row[c], widths[c] + 1) : row[c]);
        }
        table += line + "\n";
    }
    return table;
}

}  // namespace pellimor
