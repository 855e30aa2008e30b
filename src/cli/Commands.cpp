#include "cli/Commands.h"

#include <sys/stat.h>
#include <cstdio>
#include <iostream>
#include <unordered_set>

#include "app/CommandLine.h"
#include "app/DemoCache.h"
#include "app/Session.h"
#include "cli/Listing.h"
#include "cli/MovieChoice.h"
#include "cli/TerminalPrompts.h"
#include "cli/TerminalText.h"
#include "files/DeleteAction.h"
#include "files/SaveEntry.h"
#include "files/SettingsStore.h"
#include "resources/Strings.h"

namespace pellimor {

const char* const kCliUsage =
    "Usage: pellimor-cli COMMAND [OPTIONS]\n"
    "\n"
    "Lists, saves and deletes the Flash movies (SWF files) of a WinINet URL cache\n"
    "(Internet Explorer's index.dat, as found in Wine prefixes and old Windows disks).\n"
    "\n"
    "Commands:\n"
    "  list   [--site S | --leftovers] [--json]   the movies of a site, then the sites\n"
    "  save   [--site S | --leftovers] [--to DIR] NAME... [--url ADDRESS]... | --all\n"
    "                                             copy movies out under free names\n"
    "  delete [--site S | --leftovers] NAME... [--url ADDRESS]...\n"
    "         [--all-matching] [--yes]            show the movies, ask, delete them\n"
    "  folder [DIR]                               show or store the save folder\n"
    "  demo   DIR                                 make a demo cache profile in DIR\n"
    "\n"
    "Options for every command:\n"
    "  --cache DIR      the cache folder (INetCache, Temporary Internet Files, a profile's\n"
    "                   Windows folder, or a folder holding index.dat); default: the Wine\n"
    "                   prefix's ($WINEPREFIX, else ~/.wine)\n"
    "  --codepage N     the Windows code page the cache's names are written in (default 1252)\n"
    "  --read-only      change nothing in the cache: delete refuses\n"
    "  --site S         the site to list, as /site:S does (a part of the host name)\n"
    "  --leftovers      the SWF files in the cache folder that no cache entry refers to\n"
    "  --help, --version\n"
    "\n"
    "Choosing movies to save or delete:\n"
    "  NAME             the movies listed under this name (save takes them all)\n"
    "  --url ADDRESS    the movie cached under exactly this address; repeatable\n"
    "  --site S         only sites whose name contains S; an S none contains is refused\n"
    "  --all-matching   delete every movie of a NAME that several share; without it such\n"
    "                   a NAME is refused and its movies are shown\n"
    "  --yes            delete without asking; the movies are still shown\n"
    "\n"
    "The save folder is kept in ${XDG_CONFIG_HOME:-~/.config}/Tavrik/hkcu.reg.\n";

namespace {

struct Selection {
    ProgramOptions options;
    std::string site;
    bool leftovers = false;
    bool json = false;
    bool all = false;
    bool allMatching = false;
    bool yes = false;
    std::string to;
    std::vector<std::string> names;
    std::vector<std::string> urls;
    std::string error;
};

Selection ReadSelection(const std::vector<std::string>& arguments) {
    Selection s;
    s.options = ReadProgramOptions(arguments);
    s.error = s.options.error;
    const auto& rest = s.options.rest;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        const std::string& a = rest[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= rest.size()) {
                s.error = a + " needs a value";
                return {};
            }
            return rest[++i];
        };
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
        } else if (a.rfind("--", 0) == 0) {
            s.error = "unknown option " + a + " (see pellimor-cli --help)";
        } else {
            s.names.push_back(a);
        }
    }
    if (!s.site.empty() && s.leftovers) {
        s.error = "--site and --leftovers exclude each other";
    }
    return s;
}

int Fail(const std::string& message) {
    std::cerr << "pellimor-cli: " << message << "\n";
    return 2;
}

// Lists as the window does at start: the first scan for the site, then the leftover item.
bool Scan(Selection& s, Session& session, ListingState& state) {
    if (!session.cacheFolder()) {
        s.error =
            "no cache found: give its folder with --cache DIR (for example a Wine prefix's "
            "drive_c/users/NAME/AppData/Local/Microsoft/Windows/INetCache)";
        return false;
    }
    if (session.cache().containers().empty() && !s.leftovers) {
        std::string found;
        for (const std::string& problem : session.cache().unusable()) {
            found += (found.empty() ? "" : "; ") + problem;
        }
        s.error = found.empty() ? "no index.dat was found under " + *session.cacheFolder() +
                                      "; give the cache folder with --cache DIR"
                                : found;
        return false;
    }
    state.site = s.site;
    ScanCache(state, session.listing());
    if (s.leftovers) {
        const std::string leftover(strings::Load(strings::kLeftoverFiles));
        for (std::size_t i = 0; i < state.siteItems.size(); ++i) {
            if (state.siteItems[i] == leftover) {
                OnSiteChanged(state, static_cast<int>(i), session.listing());
            }
        }
    }
    if (!state.cacheError.empty()) {
        std::cerr << "pellimor-cli: " << state.cacheError << "\n";
    }
    return true;
}

MovieRequest RequestOf(const Selection& s) {
    return {s.site, s.names, s.urls, s.all, s.allMatching};
}

std::string Joined(const std::vector<std::string>& texts) {
    std::string joined;
    for (const std::string& text : texts) {
        joined += (joined.empty() ? "" : ", ") + text;
    }
    return joined;
}

}  // namespace

int RunList(const std::vector<std::string>& arguments) {
    Selection s = ReadSelection(arguments);
    if (!s.error.empty()) {
        return Fail(s.error);
    }
    Session session(s.options);
    ListingState state;
    if (!Scan(s, session, state)) {
        return Fail(s.error);
    }
    std::cout << (s.json ? ListingAsJson(state, *session.cacheFolder())
                         : ListingAsText(state, *session.cacheFolder()));
    return state.cacheError.empty() ? 0 : 1;
}

int RunDemo(const std::vector<std::string>& arguments) {
    const ProgramOptions options = ReadProgramOptions(arguments);
    if (options.rest.size() != 1) {
        return Fail("demo takes one folder: pellimor-cli demo DIR");
    }
    std::string error;
    const std::string cache = MakeDemoCache(options.rest[0], error);
    if (cache.empty()) {
        return Fail(error);
    }
    std::cout << cache << "\n";
    return 0;
}

int RunSave(const std::vector<std::string>& arguments) {
    Selection s = ReadSelection(arguments);
    if (s.error.empty() && s.names.empty() && s.urls.empty() && !s.all) {
        s.error = "name the movies to save, or pass --all";
    }
    if (!s.error.empty()) {
        return Fail(s.error);
    }
    Session session(s.options);
    ListingState state;
    if (!Scan(s, session, state)) {
        return Fail(s.error);
    }
    MovieRequest request = RequestOf(s);
    // Copies never overwrite: every movie of a name may go, and a name given twice saves
    // two copies.
    request.allMatching = true;
    request.twiceIfNamedTwice = true;
    const MovieChoice choice = ChooseMovies(state, request);
    if (!choice.refusal.empty()) {
        return Fail(choice.refusal);
    }
    TerminalPrompts prompts(true);
    SaveServices services{session.files(), session.registry(), prompts, session.defaultSaveFolder(),
                          s.to};
    SaveOutcome outcome;
    if (s.all) {
        // Every chosen movie, in the cache's order as the window's Save All takes them.
        const std::unordered_set<std::int32_t> chosen(choice.keys.begin(), choice.keys.end());
        SwfCatalogue movies;
        for (const SwfEntry& entry : state.catalogue) {
            if (chosen.contains(entry.key)) {
                movies.Append(entry);
            }
        }
        outcome = OnSaveAll(movies, services);
    } else {
        outcome = OnSave(state.catalogue, choice.keys, services);
    }
    for (const std::string& path : outcome.savedTo) {
        std::cout << ForTerminal(path) << "\n";
    }
    if (!choice.missing.empty()) {
        std::cerr << "pellimor-cli: nothing in this listing matches " << Joined(choice.missing)
                  << "\n";
    }
    if (!state.cacheError.empty()) {
        std::cerr << "pellimor-cli: the cache could not be read whole; only the movies listed "
                     "above were saved\n";
    }
    return outcome.failed.empty() && choice.missing.empty() && state.cacheError.empty() ? 0 : 1;
}

int RunDelete(const std::vector<std::string>& arguments) {
    Selection s = ReadSelection(arguments);
    if (s.error.empty() && s.all) {
        s.error = "--all is for save: name the movies to delete";
    }
    if (s.error.empty() && s.names.empty() && s.urls.empty()) {
        s.error = "name the movies to delete (NAME or --url ADDRESS)";
    }
    if (!s.error.empty()) {
        return Fail(s.error);
    }
    Session session(s.options);
    ListingState state;
    if (!Scan(s, session, state)) {
        return Fail(s.error);
    }
    if (const std::string reason = session.cache().ReadOnlyReason(); !reason.empty()) {
        std::cerr << "pellimor-cli: cannot delete: " << reason << "; nothing deleted\n";
        return 1;
    }
    const MovieChoice choice = ChooseMovies(state, RequestOf(s));
    if (!choice.refusal.empty()) {
        return Fail(choice.refusal + "\nnothing deleted");
    }
    if (!choice.missing.empty()) {
        return Fail("nothing in this listing matches " + Joined(choice.missing) +
                    "; nothing deleted");
    }
    if (choice.keys.size() > kSelectionCapacity) {
        return Fail("at most " + std::to_string(kSelectionCapacity) +
                    " movies at once, as in the window; nothing deleted");
    }
    TerminalPrompts prompts(s.yes,
                            "These movies will be deleted:\n" + MovieTable(state, choice.keys));
    const DeleteOutcome outcome = OnDelete(state, choice.keys, session.listing(), prompts);
    if (!outcome.confirmed) {
        return 1;
    }
    for (const std::string& gone : outcome.deleted) {
        std::cout << "deleted " << ForTerminal(gone) << "\n";
    }
    for (const std::string& problem : outcome.problems) {
        std::cerr << "pellimor-cli: " << ForTerminal(problem) << "\n";
    }
    return outcome.problems.empty() ? 0 : 1;
}

int RunFolder(const std::vector<std::string>& arguments) {
    const ProgramOptions options = ReadProgramOptions(arguments);
    if (!options.error.empty()) {
        return Fail(options.error);
    }
    Session session(options);
    if (options.rest.empty()) {
        std::cout << GetSavePath(session.registry(), session.defaultSaveFolder()) << "\n";
        const std::string problem = session.registry().LastProblem();
        if (!problem.empty()) {
            std::cerr << "pellimor-cli: warning: " << problem << "\n";
        }
        return 0;
    }
    std::string folder = options.rest[0];
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return Fail(folder + " is not a folder");
    }
    if (char* real = ::realpath(folder.c_str(), nullptr)) {
        folder = real;
        std::free(real);
    }
    const SettingOutcome stored = SetSavePath(session.registry(), folder);
    if (!stored.ok()) {
        return Fail("the save folder was not stored: " + stored.problem);
    }
    std::cout << GetSavePath(session.registry(), session.defaultSaveFolder()) << "\n";
    return 0;
}

}  // namespace pellimor
