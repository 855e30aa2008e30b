// pellimor-cli delete: movies shown, asked for and deleted from the cache, entry and file.
#include <iostream>

#include "app/Session.h"
#include "cli/CacheOpening.h"
#include "cli/Command.h"
#include "cli/ErrorReport.h"
#include "cli/ExitStatus.h"
#include "cli/TerminalPrompts.h"
#include "cli/TerminalText.h"
#include "files/SaveEntry.h"
#include "operations/DeleteMovies.h"
#include "resources/Strings.h"

namespace pellimor {

namespace {

constexpr CommandOption kOptions[] = {
    {"--all", false, "--all is for save: name the movies to delete"},
    {"--site", true},
    {"--leftovers"},
    {"--url", true},
    {"--all-matching"},
    {"--yes"},
};

int Run(const std::vector<std::string>& arguments) {
    const CommandWords words = ReadWords(arguments, "delete", kOptions);
    Selection s = NamedSelectionOf(words, "name the movies to delete (NAME or --url ADDRESS)");
    if (!s.error.empty()) {
        return UsageError("delete", s.error);
    }
    const auto canDelete = [](Session& session) -> std::optional<int> {
        if (const Status can = session.cache().CanDelete(); !can.ok()) {
            return Report(kExitFailed, "cannot delete: " + can.error() + "; nothing deleted");
        }
        return std::nullopt;
    };
    auto opened = OpenAndChoose(s, {.verb = "deleted",
                                    .sayOnRefusal = true,
                                    .nothingDone = "; nothing deleted",
                                    .beforeChoosing = canDelete});
    if (const int* status = std::get_if<int>(&opened)) {
        return *status;
    }
    auto& [listing, keys] = std::get<ChosenMovies>(opened);
    auto& [session, state] = listing;
    if (keys.size() > kSelectionCapacity) {
        return Report(kExitUsage, "at most " + std::to_string(kSelectionCapacity) +
                                      " movies at once, as in the window; nothing deleted");
    }
    TerminalPrompts prompts(words.Has("--yes"),
                            "These movies will be deleted:\n" + MovieTable(state, keys));
    OperationServices operations = session->operations();
    const Result<DeleteOutcome> deleted = DeleteMovies(state, keys, operations, prompts);
    if (!deleted) {
        return Report(kExitFailed, "cannot delete: " + deleted.error() + "; nothing deleted");
    }
    const DeleteOutcome& outcome = *deleted;
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

}  // namespace

extern const Command kDeleteCommand{
    .name = "delete",
    .summary =
        "  delete [--site S | --leftovers] NAME... [--url ADDRESS]...\n"
        "         [--all-matching] [--yes]            show the movies, ask, delete them\n",
    .usage =
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
        "                   terminal to answer on, nothing is deleted without it.\n",
    .options = kOptions,
    .run = Run,
};

}  // namespace pellimor
