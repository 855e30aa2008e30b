#include "cli/CacheOpening.h"

#include <iostream>

#include "cli/ErrorReport.h"
#include "cli/ExitStatus.h"
#include "cli/TerminalText.h"
#include "operations/OpenCache.h"

namespace pellimor {

bool Scan(Selection& s, Session& session, ListingState& state) {
    if (!session.cacheFolder()) {
        s.error =
            "no cache found: give its folder with --cache DIR (a Windows user folder, a Wine "
            "prefix's drive_c/users/NAME, a Linux home or a cache folder itself)";
        return false;
    }
    if (session.cache().sources().empty() && !s.leftovers) {
        std::string found;
        for (const std::string& problem : session.problems()) {
            found += (found.empty() ? "" : "; ") + problem;
        }
        s.error = found.empty()
                      ? "no browser cache (no index.dat, no Chrome or Firefox cache) "
                        "was found under " +
                            *session.cacheFolder() + "; give the cache folder with --cache DIR"
                      : found;
        return false;
    }
    if (const Status opened = OpenCache(state, session.listing(), {s.site, s.leftovers, false});
        !opened.ok()) {
        s.error = opened.error();
        return false;
    }
    if (!state.cacheError.empty()) {
        std::cerr << ErrorLines(state.cacheError);
    }
    return true;
}

std::variant<OpenedListing, int> OpenListing(Selection& s, const std::string& nothingDone) {
    OpenedListing opened{std::make_unique<Session>(s.options), {}};
    if (!Scan(s, *opened.session, opened.state)) {
        return Report(kExitFailed, s.error + nothingDone);
    }
    return opened;
}

std::variant<ChosenMovies, int> OpenAndChoose(Selection& s, const ChoiceRules& rules) {
    auto opened = OpenListing(s, rules.nothingDone);
    if (const int* status = std::get_if<int>(&opened)) {
        return *status;
    }
    ChosenMovies chosen{std::move(std::get<OpenedListing>(opened)), {}};
    if (rules.beforeChoosing) {
        if (const auto stopped = rules.beforeChoosing(*chosen.listing.session)) {
            return *stopped;
        }
    }
    MovieRequest request = RequestOf(s);
    request.allMatching = request.allMatching || rules.allMatching;
    request.twiceIfNamedTwice = rules.twiceIfNamedTwice;
    MovieChoice choice = ChooseMovies(chosen.listing.state, request);
    if (const auto refused = RefuseChoice(choice, rules.verb, rules.sayOnRefusal)) {
        return *refused;
    }
    chosen.keys = std::move(choice.keys);
    return chosen;
}

}  // namespace pellimor
