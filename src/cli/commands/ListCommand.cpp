// pellimor-cli list: the movies of the cache, then its sites.
#include <iostream>

#include "app/Session.h"
#include "cli/CacheOpening.h"
#include "cli/Command.h"
#include "cli/ErrorReport.h"
#include "cli/ExitStatus.h"
#include "cli/Listing.h"
#include "cli/TerminalText.h"

namespace pellimor {

namespace {

constexpr CommandOption kOptions[] = {{"--site", true}, {"--leftovers"}, {"--json"}};

int Run(const std::vector<std::string>& arguments) {
    const CommandWords words = ReadWords(arguments, "list", kOptions);
    Selection s = SelectionOf(words);
    const bool json = words.Has("--json");
    // The window's /site:S, which ./run hands to both programs: the listing starts as the
    // window's would, on every site when none begins with S.
    std::string windowSite;
    std::erase_if(s.names, [&](const std::string& name) {
        const std::string site =
            name.starts_with("/") ? FindInitialSite({name.substr(1)}) : std::string();
        windowSite = site.empty() ? windowSite : site;
        return !site.empty();
    });
    if (s.error.empty() && !s.names.empty()) {
        s.error = "list takes no NAME: " + ForTerminal(s.names.front());
    }
    if (!s.error.empty()) {
        return UsageError("list", s.error);
    }
    const bool siteAsked = !s.site.empty();
    if (!siteAsked && !s.leftovers) {
        s.site = windowSite;
    }
    auto opened = OpenListing(s);
    if (const int* status = std::get_if<int>(&opened)) {
        return *status;
    }
    auto& [session, state] = std::get<OpenedListing>(opened);
    if (siteAsked) {
        // The scan falls back to every site when none begins with the text, as the window's
        // /site: does; asked by name here, a site the cache lacks is refused.
        const MovieChoice choice = ChooseMovies(state, {s.site, {}, {}, true, true});
        if (!choice.refusal.empty()) {
            return Report(kExitUsage, choice.refusal);
        }
    }
    std::cout << (json ? ListingAsJson(state, *session->cacheFolder())
                       : ListingAsText(state, *session->cacheFolder()));
    return state.cacheError.empty() ? kExitDone : kExitFailed;
}

}  // namespace

extern const Command kListCommand{
    .name = "list",
    .summary =
        "  list   [--site S | --leftovers] [--json]   the movies of a site, then the sites\n",
    .usage =
        "Usage: pellimor-cli list [--site S | --leftovers] [--json] [OPTIONS]\n"
        "\n"
        "Lists the movies of the cache (name, size, last change, address), then its sites.\n"
        "\n"
        "  --site S         only the sites whose name contains S; an S none contains is\n"
        "                   refused with the closest sites\n"
        "  --leftovers      the SWF files in the cache folder that no cache entry refers to\n"
        "  --json           one JSON document instead of text columns\n",
    .options = kOptions,
    .run = Run,
};

}  // namespace pellimor
