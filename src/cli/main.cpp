// pellimor-cli: the listing, saving and deleting of the window, from a terminal.
#include <iostream>
#include <string>
#include <vector>

#include "app/Version.h"
#include "cli/Commands.h"
#include "cli/ExportCommand.h"
#include "cli/InfoCommand.h"
#include "cli/SavesCommand.h"
#include "cli/TerminalText.h"

namespace {

using Command = int (*)(const std::vector<std::string>&);

Command CommandNamed(const std::string& name) {
    if (name == "list")
        return pellimor::RunList;
    if (name == "demo")
        return pellimor::RunDemo;
    if (name == "save")
        return pellimor::RunSave;
    if (name == "delete")
        return pellimor::RunDelete;
    if (name == "folder")
        return pellimor::RunFolder;
    if (name == "info")
        return pellimor::RunInfo;
    if (name == "needs")
        return pellimor::RunNeeds;
    if (name == "export")
        return pellimor::RunExport;
    if (name == "saves")
        return pellimor::RunSaves;
    return nullptr;
}

bool IsHelp(const std::string& argument) {
    return argument == "--help" || argument == "-h";
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    if (arguments.empty()) {
        std::cout << pellimor::kCliUsage;
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
        std::cout << pellimor::kCliUsage;
        return pellimor::kExitDone;
    }
    const std::string command = arguments[0];
    arguments.erase(arguments.begin());
    const Command run = CommandNamed(command);
    if (run == nullptr) {
        std::cerr << pellimor::ErrorLines("unknown command " + pellimor::ForTerminal(command) +
                                          " (see pellimor-cli --help)");
        return pellimor::kExitUsage;
    }
    for (const std::string& a : arguments) {
        if (IsHelp(a)) {
            std::cout << pellimor::CommandUsage(command);
            return pellimor::kExitDone;
        }
    }
    return run(arguments);
}
