// pellimor-cli folder: the save folder shown, or stored as the window's Save As does.
#include <iostream>

#include "app/CommandLine.h"
#include "app/Session.h"
#include "cli/Command.h"
#include "cli/ErrorReport.h"
#include "cli/ExitStatus.h"
#include "cli/TerminalText.h"
#include "files/SettingsStore.h"

namespace pellimor {

namespace {

// Reads its own words: one folder at most, and no option but the program's.
int Run(const std::vector<std::string>& arguments) {
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
    const auto folder = session.files().RealPathOfFolder(options.rest[0]);
    if (!folder) {
        return UsageError("folder", ForTerminal(options.rest[0]) + " is not a folder");
    }
    const SettingOutcome stored = SetSavePath(session.registry(), *folder);
    if (!stored.ok()) {
        return Report(kExitFailed, "the save folder was not stored: " + stored.problem);
    }
    std::cout << ForTerminal(GetSavePath(session.registry(), session.defaultSaveFolder())) << "\n";
    return kExitDone;
}

}  // namespace

extern const Command kFolderCommand{
    .name = "folder",
    .summary = "  folder [DIR]                               show or store the save folder\n",
    .usage =
        "Usage: pellimor-cli folder [DIR]\n"
        "\n"
        "Without DIR, prints the save folder; with DIR, stores it (as the window's Save As\n"
        "does) and prints it. It is kept in ${XDG_CONFIG_HOME:-~/.config}/Tavrik/hkcu.reg.\n",
    .withCommonOptions = false,
    .options = {},
    .run = Run,
};

}  // namespace pellimor
