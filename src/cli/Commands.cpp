#include "cli/Commands.h"

#include <unistd.h>

#include <sys/stat.h>
#include <cstdio>
#include <iostream>

#include "app/CommandLine.h"
#include "app/DemoCache.h"
#include "app/Session.h"
#include "cli/Listing.h"
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
    "  save   [--site S | --leftovers] [--to DIR] NAME... | --all\n"
    "                                             copy movies out under free names\n"
    "  delete [--site S | --leftovers] NAME... [--yes]\n"
    "                                             delete movies from the cache\n"
    "  folder [DIR]                               show or store the save folder\n"
    "  demo   DIR                                 make a demo cache profile in DIR\n"
    "\n"
    "Options for every command:\n"
    "  --cache DIR      the cache folder (INetCache, Temporary Internet Files, a profile's\n"
    "                   Windows folder, or a folder holding index.dat); default: the Wine\n"
    "                   prefix's ($WINEPREFIX, else ~/.wine)\n"
    "  --codepage N     the Windows code page the cache's names are written in (default 1252)\n"
    "  --site S         the site to list, as /site:S does (a part of the host name)\n"
    "  --leftovers      the SWF files in the cache folder that no cache entry refers to\n"
    "  --help, --version\n"
    "\n"
    "The save folder is kept in ${XDG_CONFIG_HOME:-~/.config}/Tavrik/hkcu.reg.\n";

namespace {

struct Selection {
    ProgramOptions options;
    std::string site;
    bool leftovers = false;
    bool json = false;
    bool all = false;
    bool yes = false;
    std::string to;
    std::vector<std::string> names;
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

class TerminalPrompts : public Prompts {
  public:
    explicit TerminalPrompts(bool yes) : yes_(yes) {}
    std::optional<std::string> AskSaveAsPath(const std::string&, const std::string&) override {
        return std::nullopt;
    }
    void ShowError(const std::string& text) override { std::cerr << text << "\n"; }
    bool AskYesNo(const std::string& text) override {
        if (yes_) {
            return true;
        }
        if (!::isatty(STDIN_FILENO)) {
            std::cerr << "pellimor-cli: not deleting without confirmation; pass --yes\n";
            return false;
        }
        std::cerr << text << " [y/N] " << std::flush;
        std::string answer;
        std::getline(std::cin, answer);
        return answer == "y" || answer == "Y" || answer == "yes";
    }

  private:
    bool yes_;
};

// Lists as the window does at start: the first scan for the site, then the leftover item.
bool Scan(Selection& s, Session& session, ListingState& state) {
    if (!session.cacheFolder()) {
        s.error =
            "no cache found: give its folder with --cache DIR (for example a Wine prefix's "
            "drive_c/users/NAME/AppData/Local/Microsoft/Windows/INetCache)";
        return false;
    }
    if (session.cache().containers().empty() && !s.leftovers) {
        s.error = "no index.dat was found under " + *session.cacheFolder() +
                  "; give the cache folder with --cache DIR";
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

std::vector<std::int32_t> KeysNamed(const ListingState& state,
                                    const std::vector<std::string>& names, std::string& missing) {
    std::vector<std::int32_t> keys;
    for (const std::string& name : names) {
        bool found = false;
        for (const MovieLine& line : state.movieLines) {
            if (line.text == name) {
                keys.push_back(line.key);
                found = true;
            }
        }
        if (!found) {
            missing += (missing.empty() ? "" : ", ") + name;
        }
    }
    return keys;
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
    if (s.error.empty() && s.names.empty() && !s.all) {
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
    TerminalPrompts prompts(true);
    SaveServices services{session.files(), session.registry(), prompts, session.defaultSaveFolder(),
                          s.to};
    std::string missing;
    SaveOutcome outcome;
    if (s.all) {
        outcome = OnSaveAll(state.catalogue, services);
    } else {
        const auto keys = KeysNamed(state, s.names, missing);
        outcome = OnSave(state.catalogue, keys, services);
    }
    for (const std::string& path : outcome.savedTo) {
        std::cout << path << "\n";
    }
    if (!missing.empty()) {
        std::cerr << "pellimor-cli: no movie named " << missing << " in this listing\n";
    }
    return outcome.failed.empty() && missing.empty() ? 0 : 1;
}

int RunDelete(const std::vector<std::string>& arguments) {
    Selection s = ReadSelection(arguments);
    if (s.error.empty() && s.names.empty()) {
        s.error = "name the movies to delete";
    }
    if (!s.error.empty()) {
        return Fail(s.error);
    }
    Session session(s.options);
    ListingState state;
    if (!Scan(s, session, state)) {
        return Fail(s.error);
    }
    std::string missing;
    const auto keys = KeysNamed(state, s.names, missing);
    if (!missing.empty()) {
        return Fail("no movie named " + missing + " in this listing; nothing deleted");
    }
    TerminalPrompts prompts(s.yes);
    const DeleteOutcome outcome = OnDelete(state, keys, session.listing(), prompts);
    if (!outcome.confirmed) {
        return 1;
    }
    for (const std::string& gone : outcome.deleted) {
        std::cout << "deleted " << gone << "\n";
    }
    for (const std::string& problem : outcome.problems) {
        std::cerr << "pellimor-cli: " << problem << "\n";
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
    SetSavePath(session.registry(), folder);
    std::cout << GetSavePath(session.registry(), session.defaultSaveFolder()) << "\n";
    return 0;
}

}  // namespace pellimor
