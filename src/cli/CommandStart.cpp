#include "cli/CommandStart.h"

#include <algorithm>
#include <iostream>

#include "cli/Commands.h"
#include "cli/TerminalText.h"

namespace pellimor {

Selection ReadSelection(const std::vector<std::string>& arguments) {
    Selection s;
    s.options = ReadProgramOptions(arguments);
    s.error = s.options.error;
    const auto& rest = s.options.rest;
    for (std::size_t i = 0; i < rest.size() && s.error.empty(); ++i) {
        const std::string& a = rest[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= rest.size()) {
                s.error = a + " needs a value";
                return {};
            }
            return rest[++i];
        };
        if (a.rfind("--", 0) == 0 || a == "-y") {
            s.given.push_back(a == "-y" ? "--yes" : a);
        }
        if (a == "--site") {
            s.site = value();
        } else if (a == "--leftovers") {
            s.leftovers = true;
        } else if (a == "--json") {
            s.json = true;
        } else if (a == "--all") {
            s.all = true;
        } else if (a == "--all-matching") {
            s.allMatching = true;
        } else if (a == "--url") {
            s.urls.push_back(value());
        } else if (a == "--yes" || a == "-y") {
            s.yes = true;
        } else if (a == "--to") {
            s.to = value();
        } else if (a == "--warc") {
            s.warc = value();
        } else if (a == "--wacz") {
            s.wacz = value();
        } else if (a == "--language") {
            s.language = value();
        } else if (a == "--tags") {
            s.tags = value();
        } else if (a == "--library") {
            s.library = value();
        } else if (a == "--application-path") {
            s.applicationPath = value();
        } else if (a == "--zip") {
            s.zip = true;
        } else if (a == "--no-pictures") {
            s.noPictures = true;
        } else if (a == "--file") {
            s.files.push_back(value());
        } else if (a.rfind("--", 0) == 0) {
            s.error = "unknown option " + a;
        } else {
            s.names.push_back(a);
        }
    }
    if (s.error.empty() && !s.site.empty() && s.leftovers) {
        s.error = "--site and --leftovers exclude each other";
    }
    return s;
}

void AcceptOnly(Selection& s, const std::string& command,
                std::initializer_list<std::string_view> accepted) {
    for (const std::string& option : s.given) {
        if (s.error.empty() &&
            std::find(accepted.begin(), accepted.end(), option) == accepted.end()) {
            s.error = option + " is not an option of " + command;
        }
    }
}

int Report(int status, const std::string& message) {
    std::cerr << ErrorLines(message);
    return status;
}

int UsageError(const std::string& command, const std::string& message) {
    return Report(kExitUsage, message + " (see pellimor-cli " + command + " --help)");
}

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
    state.site = s.site;
    if (s.leftovers) {
        ScanCacheThenLeftovers(state, session.listing());
    } else {
        ScanCache(state, session.listing());
    }
    if (!state.cacheError.empty() && state.movieLines.empty()) {
        // Nothing could be read: an empty listing would say the cache has no movies.
        s.error = state.cacheError;
        return false;
    }
    if (!state.cacheError.empty()) {
        std::cerr << ErrorLines(state.cacheError);
    }
    return true;
}

MovieRequest RequestOf(const Selection& s) {
    return {s.site, s.names, s.urls, s.all, s.allMatching};
}

std::string Joined(const std::vector<std::string>& texts) {
    std::string joined;
    for (const std::string& text : texts) {
        joined += (joined.empty() ? "" : ", ") + ForTerminal(text);
    }
    return joined;
}

std::variant<OpenedListing, int> OpenListing(Selection& s, const std::string& nothingDone) {
    OpenedListing opened{std::make_unique<Session>(s.options), {}};
    if (!Scan(s, *opened.session, opened.state)) {
        return Report(kExitFailed, s.error + nothingDone);
    }
    return opened;
}

std::optional<int> RefuseChoice(const MovieChoice& choice, std::string_view verb,
                                bool sayOnRefusal) {
    if (!choice.refusal.empty()) {
        return Report(kExitUsage,
                      choice.refusal + (sayOnRefusal ? "\nnothing " + std::string(verb) : ""));
    }
    if (!choice.missing.empty()) {
        return Report(kExitUsage, "nothing in this listing matches " + Joined(choice.missing) +
                                      "; nothing " + std::string(verb));
    }
    return std::nullopt;
}

}  // namespace pellimor
