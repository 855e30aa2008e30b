#include "cli/Commands.h"

#include <sys/stat.h>
#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <iostream>
#include <unordered_set>

#include "app/CommandLine.h"
#include "app/DemoCache.h"
#include "app/Session.h"
#include "cli/CommandStart.h"
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
    "Lists, saves and deletes the Flash movies (SWF files) of web browsers' caches:\n"
    "Internet Explorer's index.dat, Chrome's and Firefox's caches, found under a Windows\n"
    "user folder, a Wine prefix or a Linux home.\n"
    "\n"
    "Commands:\n"
    "  list   [--site S | --leftovers] [--json]   the movies of a site, then the sites\n"
    "  save   [--site S | --leftovers] [--to DIR] NAME... [--url ADDRESS]... | --all\n"
    "                                             copy movies out under free names\n"
    "  delete [--site S | --leftovers] NAME... [--url ADDRESS]...\n"
    "         [--all-matching] [--yes]            show the movies, ask, delete them\n"
    "  info   [--site S] NAME... [--json] | --file PATH... [--json]\n"
    "                                             a movie's facts: version, script, stage,\n"
    "                                             frames, compression, what it may load\n"
    "  needs  [--site S] NAME...                  the addresses a movie may load, each\n"
    "                                             cached or missing\n"
    "  export [--site S] NAME... --to DIR         each movie as a game whole: the files it\n"
    "                                             loads under their addresses, meta.yaml;\n"
    "                                             or --warc FILE / --wacz FILE\n"
    "  saves  [--site S] [NAME...] [--json]       Flash Player's saves found beside the\n"
    "                                             caches, each with its movies\n"
    "  folder [DIR]                               show or store the save folder\n"
    "  demo   DIR                                 make a demo cache profile in DIR\n"
    "\n"
    "Options for every command:\n"
    "  --cache DIR      the cache folder (INetCache, Temporary Internet Files, a profile's\n"
    "                   Windows folder, or a folder holding index.dat); default: the Wine\n"
    "                   prefix's ($WINEPREFIX, else ~/.wine)\n"
    "  --codepage N     the Windows code page the cache's names are written in (default 1252)\n"
    "  --read-only      change nothing in the cache: delete refuses\n"
    "  --help, --version\n"
    "\n"
    "pellimor-cli COMMAND --help shows the options of one command.\n"
    "\n"
    "Choosing movies to list, save or delete:\n"
    "  --site S         only sites whose name contains S; an S none contains is refused\n"
    "  --leftovers      the SWF files in the cache folder that no cache entry refers to\n"
    "  NAME             the movies listed under this name (save takes them all)\n"
    "  --url ADDRESS    the movie cached under exactly this address; repeatable\n"
    "  --all-matching   delete every movie of a NAME that several share; without it such\n"
    "                   a NAME is refused and its movies are shown\n"
    "  --yes            delete without asking; the movies are still shown\n"
    "\n"
    "The save folder is kept in ${XDG_CONFIG_HOME:-~/.config}/Tavrik/hkcu.reg.\n"
    "\n"
    "Exit status: 0 done; 1 an operation failed; 2 a usage error, or a NAME or site\n"
    "the cache does not have. Every error line starts with \"pellimor-cli:\".\n";

namespace {

#define PELLIMOR_COMMON_OPTIONS                                                            \
    "\n"                                                                                   \
    "Options for every command:\n"                                                         \
    "  --cache DIR      the cache folder; default: the Wine prefix's ($WINEPREFIX, else\n" \
    "                   ~/.wine)\n"                                                        \
    "  --codepage N     the Windows code page the cache's names are written in (default\n" \
    "                   1252); only code pages that keep ASCII as it is\n"                 \
    "  --read-only      change nothing in the cache\n"                                     \
    "\n"                                                                                   \
    "Exit status: 0 done; 1 an operation failed; 2 a usage error, or a NAME or site\n"     \
    "the cache does not have.\n"

constexpr struct {
    std::string_view command;
    const char* usage;
} kCommandUsages[] = {
    {"list",
     "Usage: pellimor-cli list [--site S | --leftovers] [--json] [OPTIONS]\n"
     "\n"
     "Lists the movies of the cache (name, size, last change, address), then its sites.\n"
     "\n"
     "  --site S         only the sites whose name contains S; an S none contains is\n"
     "                   refused with the closest sites\n"
     "  --leftovers      the SWF files in the cache folder that no cache entry refers to\n"
     "  --json           one JSON document instead of text columns\n" PELLIMOR_COMMON_OPTIONS},
    {"save",
     "Usage: pellimor-cli save [--site S | --leftovers] [--to DIR] NAME... [--url ADDRESS]...\n"
     "       pellimor-cli save [--site S | --leftovers] [--to DIR] --all\n"
     "\n"
     "Copies movies out of the cache under names that never overwrite a file, and prints\n"
     "where each went. A NAME or address the listing lacks is refused: nothing is saved.\n"
     "\n"
     "  NAME             every movie listed under this name; twice: two copies\n"
     "  --url ADDRESS    the movie cached under exactly this address; repeatable\n"
     "  --all            every movie listed (of the site, with --site)\n"
     "  --site S         only the sites whose name contains S\n"
     "  --leftovers      the SWF files that no cache entry refers to\n"
     "  --to DIR         the folder to save in; default: the stored save folder\n"
     "                   (see pellimor-cli folder)\n" PELLIMOR_COMMON_OPTIONS},
    {"delete",
     "Usage: pellimor-cli delete [--site S | --leftovers] NAME... [--url ADDRESS]...\n"
     "                           [--all-matching] [--yes]\n"
     "\n"
     "Shows the movies, asks, and deletes them from the cache: the entry and its file.\n"
     "A NAME or address the listing lacks is refused: nothing is deleted.\n"
     "\n"
     "  NAME             the movie listed under this name\n"
     "  --url ADDRESS    the movie cached under exactly this address; repeatable\n"
     "  --site S         only the sites whose name contains S\n"
     "  --leftovers      the SWF files that no cache entry refers to\n"
     "  --all-matching   delete every movie of a NAME that several share; without it such\n"
     "                   a NAME is refused and its movies are shown\n"
     "  --yes            delete without asking; the movies are still shown. Without a\n"
     "                   terminal to answer on, nothing is deleted without "
     "it.\n" PELLIMOR_COMMON_OPTIONS},
    {"info",
     "Usage: pellimor-cli info [--site S] NAME... [--url ADDRESS]... [--json] [OPTIONS]\n"
     "       pellimor-cli info --file PATH... [--json]\n"
     "\n"
     "Prints what each movie says about itself: signature and compression, version, declared\n"
     "length against the bytes present, stage size, frame rate and count, background,\n"
     "ActionScript 1/2 or 3, network access, its tags, metadata and build, the addresses and\n"
     "files it may load (as written in it) and the host names it carries. A movie cut short\n"
     "gives its facts as far as they go and where reading stopped.\n"
     "\n"
     "  NAME             every movie listed under this name\n"
     "  --url ADDRESS    the movie cached under exactly this address; repeatable\n"
     "  --site S         only the sites whose name contains S\n"
     "  --file PATH      any SWF file, in the cache or not; repeatable\n"
     "  --json           one JSON array of objects instead of text\n" PELLIMOR_COMMON_OPTIONS},
    {"needs",
     "Usage: pellimor-cli needs [--site S] NAME... [--url ADDRESS]... [OPTIONS]\n"
     "\n"
     "Prints the addresses each movie may load, found in its scripts and imports, resolved\n"
     "against the movie's own address, each marked \"cached\" when the cache holds it or\n"
     "\"missing\" when not.\n"
     "\n"
     "  NAME             every movie listed under this name\n"
     "  --url ADDRESS    the movie cached under exactly this address; repeatable\n"
     "  --site S         only the sites whose name contains S\n" PELLIMOR_COMMON_OPTIONS},
    {"saves",
     "Usage: pellimor-cli saves [--site S] [NAME...] [--json] [OPTIONS]\n"
     "\n"
     "Lists Flash Player's saves (local shared objects, .sol files) found beside the caches\n"
     "under #SharedObjects folders (Flash Player on Windows and Linux, Chrome's own Flash,\n"
     "Wine prefixes): each with its file, host, path, name, size, time, AMF version and the\n"
     "cached movies it belongs to (same host, the save's path a prefix of the movie's\n"
     "address path), or (no cached movie). The saves are only read.\n"
     "\n"
     "  NAME             only the saves of the movies listed under this name\n"
     "  --site S         only the saves of sites whose name contains S\n"
     "  --json           one JSON document, with each save's values and the key Ruffle's\n"
     "                   web player keeps it under\n" PELLIMOR_COMMON_OPTIONS},
    {"export",
     "Usage: pellimor-cli export [--site S] NAME... [--url ADDRESS]... --to DIR [OPTIONS]\n"
     "       pellimor-cli export [--site S] NAME... --warc FILE | --wacz FILE [OPTIONS]\n"
     "\n"
     "Exports each movie as a game whole, in DIR/<name>, as the web-game archive takes a\n"
     "curation: the movie and every cached file it may load (found in it, and in the movies\n"
     "it loads) under content/<host>/<path>; the page that embedded it, when the movie takes\n"
     "that page's flashvars (the Launch Command is then the page); logo.png and ss.png, taken\n"
     "from the movie played offscreen; and meta.yaml with the archive's fields (Release Date,\n"
     "Languages from the page's lang or Content-Language, Status, an http Launch Command,\n"
     "Curation Notes saying where each value came from), then the movie's facts, the page's\n"
     "parameters, the files and Export Notes. What the archive needs and the cache cannot\n"
     "tell is printed as \"not ready\" with the reason. The cache is only read. Nothing in DIR\n"
     "is overwritten: an identical file there is kept, a different one makes the new file\n"
     "take a numbered name (level101.swf), noted in meta.yaml. An address's query stays in\n"
     "the name (name.php%3Fid=7) only when the cache holds the same address with another\n"
     "query; bytes no file name may hold are written as %XX.\n"
     "With --warc or --wacz the same files go into a web archive as the browser got them:\n"
     "WARC 1.1 records (each a gzip member), or a WACZ 1.1.1 package with its index.\n"
     "\n"
     "  NAME             every movie listed under this name\n"
     "  --url ADDRESS    the movie cached under exactly this address; repeatable\n"
     "  --site S         only the sites whose name contains S\n"
     "  --language L     ISO 639-1 codes (en; tr) when the cache does not say the language\n"
     "  --tags T         the archive's tags, separated by ;\n"
     "  --library L      arcade (games, the default) or theatre (animations)\n"
     "  --application-path P  the archive's player (default FPSoftware\\Flash\\\n"
     "                   flashplayer_32_sa.exe)\n"
     "  --no-pictures    take no logo.png and ss.png (the curation is then not ready)\n"
     "  --zip            pack each game's folder as DIR/<name>.zip too\n"
     "  --warc FILE      write the games' files as a WARC file (.warc.gz); never replaced\n"
     "  --wacz FILE      write them as a WACZ package; never replaced\n"
     "  --to DIR         the folder to export into; made when missing\n" PELLIMOR_COMMON_OPTIONS},
    {"folder",
     "Usage: pellimor-cli folder [DIR]\n"
     "\n"
     "Without DIR, prints the save folder; with DIR, stores it (as the window's Save As\n"
     "does) and prints it. It is kept in ${XDG_CONFIG_HOME:-~/.config}/Tavrik/hkcu.reg.\n"
     "\n"
     "Exit status: 0 done; 1 an operation failed; 2 a usage error.\n"},
    {"demo",
     "Usage: pellimor-cli demo DIR\n"
     "\n"
     "Makes a demo cache profile in DIR and prints its cache folder, to try\n"
     "the other commands on: pellimor-cli list --cache DIR/INetCache\n"
     "\n"
     "Exit status: 0 done; 1 an operation failed; 2 a usage error.\n"},
};

#undef PELLIMOR_COMMON_OPTIONS

}  // namespace

const char* CommandUsage(std::string_view command) {
    for (const auto& entry : kCommandUsages) {
        if (entry.command == command) {
            return entry.usage;
        }
    }
    return nullptr;
}

int RunList(const std::vector<std::string>& arguments) {
    Selection s = ReadSelection(arguments);
    AcceptOnly(s, "list", {"--site", "--leftovers", "--json"});
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
    std::cout << (s.json ? ListingAsJson(state, *session->cacheFolder())
                         : ListingAsText(state, *session->cacheFolder()));
    return state.cacheError.empty() ? kExitDone : kExitFailed;
}

int RunDemo(const std::vector<std::string>& arguments) {
    const ProgramOptions options = ReadProgramOptions(arguments);
    if (!options.error.empty()) {
        return UsageError("demo", options.error);
    }
    if (options.rest.size() != 1 || options.rest[0].rfind("--", 0) == 0) {
        return UsageError("demo", "demo takes one folder: pellimor-cli demo DIR");
    }
    std::string error;
    const std::string cache = MakeDemoCache(options.rest[0], error);
    if (cache.empty()) {
        return Report(kExitFailed, error);
    }
    std::cout << cache << "\n";
    return kExitDone;
}

int RunSave(const std::vector<std::string>& arguments) {
    Selection s = ReadSelection(arguments);
    AcceptOnly(s, "save", {"--site", "--leftovers", "--to", "--all", "--url", "--all-matching"});
    if (s.error.empty() && s.names.empty() && s.urls.empty() && !s.all) {
        s.error = "name the movies to save, or pass --all";
    }
    if (!s.error.empty()) {
        return UsageError("save", s.error);
    }
    auto opened = OpenListing(s);
    if (const int* status = std::get_if<int>(&opened)) {
        return *status;
    }
    auto& [session, state] = std::get<OpenedListing>(opened);
    MovieRequest request = RequestOf(s);
    // Copies never overwrite: every movie of a name may go, and a name given twice saves
    // two copies.
    request.allMatching = true;
    request.twiceIfNamedTwice = true;
    const MovieChoice choice = ChooseMovies(state, request);
    // As delete: a mistyped name saves nothing, rather than some of what was asked.
    if (const auto refused = RefuseChoice(choice, "saved", false)) {
        return *refused;
    }
    TerminalPrompts prompts(true);
    SaveServices services{
        session->files(), session->registry(), prompts, session->defaultSaveFolder(), s.to,
        &session->cache()};
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
    if (!state.cacheError.empty()) {
        std::cerr << ErrorLines(
            "the cache could not be read whole; only the movies listed "
            "above were saved");
    }
    return outcome.failed.empty() && state.cacheError.empty() ? kExitDone : kExitFailed;
}

int RunDelete(const std::vector<std::string>& arguments) {
    Selection s = ReadSelection(arguments);
    if (s.error.empty() && s.all) {
        s.error = "--all is for save: name the movies to delete";
    }
    AcceptOnly(s, "delete", {"--site", "--leftovers", "--url", "--all-matching", "--yes"});
    if (s.error.empty() && s.names.empty() && s.urls.empty()) {
        s.error = "name the movies to delete (NAME or --url ADDRESS)";
    }
    if (!s.error.empty()) {
        return UsageError("delete", s.error);
    }
    auto opened = OpenListing(s, "; nothing deleted");
    if (const int* status = std::get_if<int>(&opened)) {
        return *status;
    }
    auto& [session, state] = std::get<OpenedListing>(opened);
    if (const Status can = session->cache().CanDelete(); !can.ok()) {
        return Report(kExitFailed, "cannot delete: " + can.error() + "; nothing deleted");
    }
    const MovieChoice choice = ChooseMovies(state, RequestOf(s));
    if (const auto refused = RefuseChoice(choice, "deleted", true)) {
        return *refused;
    }
    if (choice.keys.size() > kSelectionCapacity) {
        return Report(kExitUsage, "at most " + std::to_string(kSelectionCapacity) +
                                      " movies at once, as in the window; nothing deleted");
    }
    TerminalPrompts prompts(s.yes,
                            "These movies will be deleted:\n" + MovieTable(state, choice.keys));
    const DeleteOutcome outcome = OnDelete(state, choice.keys, session->listing(), prompts);
    if (!outcome.confirmed) {
        return kExitFailed;
    }
    for (std::size_t i = 0; i < outcome.deleted.size(); ++i) {
        std::cout << "deleted " << ForTerminal(outcome.deleted[i]);
        if (i < outcome.notes.size() && !outcome.notes[i].empty()) {
            // The entry went; its file is a leftover now, and the user is told so.
            std::cout << "; " << ForTerminal(outcome.notes[i])
                      << "; it is listed among the leftover files now";
        }
        std::cout << "\n";
    }
    for (const std::string& problem : outcome.problems) {
        std::cerr << ErrorLines(ForTerminal(problem));
    }
    return outcome.problems.empty() ? kExitDone : kExitFailed;
}

int RunFolder(const std::vector<std::string>& arguments) {
    const ProgramOptions options = ReadProgramOptions(arguments);
    std::string error = options.error;
    for (const std::string& a : options.rest) {
        if (error.empty() && a.rfind("--", 0) == 0) {
            error = "unknown option " + a;
        }
    }
    if (error.empty() && options.rest.size() > 1) {
        error = "folder takes at most one folder, not " + std::to_string(options.rest.size());
    }
    if (!error.empty()) {
        return UsageError("folder", error);
    }
    Session session(options);
    if (options.rest.empty()) {
        std::cout << ForTerminal(GetSavePath(session.registry(), session.defaultSaveFolder()))
                  << "\n";
        const std::string problem = session.registry().LastProblem();
        if (!problem.empty()) {
            std::cerr << ErrorLines("warning: " + problem);
        }
        return kExitDone;
    }
    std::string folder = options.rest[0];
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return UsageError("folder", ForTerminal(folder) + " is not a folder");
    }
    if (char* real = ::realpath(folder.c_str(), nullptr)) {
        folder = real;
        std::free(real);
    }
    const SettingOutcome stored = SetSavePath(session.registry(), folder);
    if (!stored.ok()) {
        return Report(kExitFailed, "the save folder was not stored: " + stored.problem);
    }
    std::cout << ForTerminal(GetSavePath(session.registry(), session.defaultSaveFolder())) << "\n";
    return kExitDone;
}

}  // namespace pellimor
