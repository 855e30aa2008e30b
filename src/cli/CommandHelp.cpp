#include "cli/CommandHelp.h"

#include "cli/CommandTable.h"

namespace pellimor {

namespace {

constexpr std::string_view kProgramStart =
    "Usage: pellimor-cli COMMAND [OPTIONS]\n"
    "\n"
    "Lists, saves and deletes the Flash movies (SWF files) of web browsers' caches:\n"
    "Internet Explorer's index.dat, Chrome's and Firefox's caches, found under a Windows\n"
    "user folder, a Wine prefix or a Linux home.\n"
    "\n"
    "Commands:\n";

constexpr std::string_view kProgramEnd =
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

constexpr std::string_view kCommonOptions =
    "\n"
    "Options for every command:\n"
    "  --cache DIR      the cache folder; default: the Wine prefix's ($WINEPREFIX, else\n"
    "                   ~/.wine)\n"
    "  --codepage N     the Windows code page the cache's names are written in (default\n"
    "                   1252); only code pages that keep ASCII as it is\n"
    "  --read-only      change nothing in the cache\n"
    "\n"
    "Exit status: 0 done; 1 an operation failed; 2 a usage error, or a NAME or site\n"
    "the cache does not have.\n";

// The exit statuses of a command that takes no NAME or site.
constexpr std::string_view kOwnWordsExitStatus =
    "\n"
    "Exit status: 0 done; 1 an operation failed; 2 a usage error.\n";

}  // namespace

std::string ProgramHelp() {
    std::string help(kProgramStart);
    for (const Command* command : Commands()) {
        help += command->summary;
    }
    return help += kProgramEnd;
}

std::string CommandHelp(const Command& command) {
    std::string help(command.usage);
    return help += command.withCommonOptions ? kCommonOptions : kOwnWordsExitStatus;
}

}  // namespace pellimor
