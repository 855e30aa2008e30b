// pellimor-cli: the listing, saving and deleting of the window, from a terminal.
#include <iostream>
#include <string>
#include <vector>

#include "app/Version.h"
#include "cli/CommandHelp.h"
#include "cli/CommandTable.h"
#include "cli/ExitStatus.h"
#include "cli/TerminalText.h"

namespace {

bool IsHelp(const std::string& argument) {
    return argument == "--help" || argument == "-h";
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    if (arguments.empty()) {
        std::cout << pellimor::ProgramHelp();
        return pellimor::kExitUsage;
    }
    if (arguments[0] == "--version") {
        std::cout << "pellimor-cli " PELLIMOR_VERSION_TEXT "\n";
        return pellimor::kExitDone;
    }
    // "help COMMAND" as "COMMAND --help".
    if (arguments[0] == "help" && arguments.size() > 1) {
        arguments = {arguments[1], "--help"};
    }
    if (IsHelp(arguments[0]) || arguments[0] == "help") {
        std::cout << pellimor::ProgramHelp();
        return pellimor::kExitDone;
    }
    const std::string name = arguments[0];
    arguments.erase(arguments.begin());
    const pellimor::Command* command = pellimor::FindCommand(name);
    if (command == nullptr) {
        std::cerr << pellimor::ErrorLines("unknown command " + pellimor::ForTerminal(name) +
                                          " (see pellimor-cli --help)");
        return pellimor::kExitUsage;
    }
    for (const std::string& a : arguments) {
        if (IsHelp(a)) {
            std::cout << pellimor::CommandHelp(*command);
            return pellimor::kExitDone;
        }
    }
    return command->run(arguments);
}
