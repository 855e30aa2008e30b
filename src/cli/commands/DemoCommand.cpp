// pellimor-cli demo: a demo cache profile to try the other commands on.
#include <iostream>

#include "app/CommandLine.h"
#include "app/DemoCache.h"
#include "cli/Command.h"
#include "cli/ErrorReport.h"
#include "cli/ExitStatus.h"

namespace pellimor {

namespace {

// Reads its own words: one folder, and no option but the program's.
int Run(const std::vector<std::string>& arguments) {
    const ProgramOptions options = ReadProgramOptions(arguments);
    if (!options.error.empty()) {
        return UsageError("demo", options.error);
    }
    if (options.rest.size() != 1 || options.rest[0].rfind("--", 0) == 0) {
        return UsageError("demo", "demo takes one folder: pellimor-cli demo DIR");
    }
    const Result<std::string> cache = MakeDemoCache(options.rest[0]);
    if (!cache) {
        return Report(kExitFailed, cache.error());
    }
    std::cout << *cache << "\n";
    return kExitDone;
}

}  // namespace

extern const Command kDemoCommand{
    .name = "demo",
    .summary = "  demo   DIR                                 make a demo cache profile in DIR\n",
    .usage =
        "Usage: pellimor-cli demo DIR\n"
        "\n"
        "Makes a demo cache profile in DIR and prints its cache folder, to try\n"
        "the other commands on: pellimor-cli list --cache DIR/INetCache\n",
    .withCommonOptions = false,
    .options = {},
    .run = Run,
};

}  // namespace pellimor
