// pellimor-cli save: movies copied out of the cache under names that never overwrite a file.
#include <iostream>

#include "app/Session.h"
#include "cli/CacheOpening.h"
#include "cli/Command.h"
#include "cli/ErrorReport.h"
#include "cli/ExitStatus.h"
#include "cli/TerminalPrompts.h"
#include "cli/TerminalText.h"
#include "operations/SaveMovies.h"

namespace pellimor {

namespace {

constexpr CommandOption kOptions[] = {{"--site", true}, {"--leftovers"}, {"--to", true},
                                      {"--all"},        {"--url", true}, {"--all-matching"}};

int Run(const std::vector<std::string>& arguments) {
    const CommandWords words = ReadWords(arguments, "save", kOptions);
    Selection s = NamedSelectionOf(words, "name the movies to save, or pass --all");
    const std::string to = words.Value("--to");
    if (!s.error.empty()) {
        return UsageError("save", s.error);
    }
    // Copies never overwrite: every movie of a name may go, and a name given twice saves
    // two copies. As delete: a mistyped name saves nothing, rather than some of what was asked.
    auto opened =
        OpenAndChoose(s, {.verb = "saved", .allMatching = true, .twiceIfNamedTwice = true});
    if (const int* status = std::get_if<int>(&opened)) {
        return *status;
    }
    auto& [listing, keys] = std::get<ChosenMovies>(opened);
    auto& [session, state] = listing;
    TerminalPrompts prompts(true);
    OperationServices operations = session->operations();
    // With --all: every chosen movie, in the cache's order as the window's Save All takes them.
    const SaveOutcome outcome = SaveMovies(
        state.catalogue, {s.all ? SaveChoice::Kind::kSaveAll : SaveChoice::Kind::kSave, keys, to},
        operations, prompts);
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

}  // namespace

extern const Command kSaveCommand{
    .name = "save",
    .summary =
        "  save   [--site S | --leftovers] [--to DIR] NAME... [--url ADDRESS]... | --all\n"
        "                                             copy movies out under free names\n",
    .usage =
        "Usage: pellimor-cli save [--site S | --leftovers] [--to DIR] NAME... [--url "
        "ADDRESS]...\n"
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
        "                   (see pellimor-cli folder)\n",
    .options = kOptions,
    .run = Run,
};

}  // namespace pellimor
