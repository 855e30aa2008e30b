// pellimor-cli: the listing, saving and deleting of the window, from a terminal.
#include <iostream>
#include <string>
#include <vector>

#include "cli/Commands.h"

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    if (arguments.empty() || arguments[0] == "--help" || arguments[0] == "-h" ||
        arguments[0] == "help") {
        std::cout << pellimor::kCliUsage;
        return arguments.empty() ? 2 : 0;
    }
    if (arguments[0] == "--version") {
        std::cout << "pellimor-cli 0.1.0\n";
        return 0;
    }
    const std::string command = arguments[0];
    arguments.erase(arguments.begin());
    for (const std::string& a : arguments) {
        if (a == "--help" || a == "-h") {
            std::cout << pellimor::kCliUsage;
            return 0;
        }
    }
    if (command == "list")
        return pellimor::RunList(arguments);
    if (command == "demo")
        return pellimor::RunDemo(arguments);
    if (command == "save")
        return pellimor::RunSave(arguments);
    if (command == "delete")
        return pellimor::RunDelete(arguments);
    if (command == "folder")
        return pellimor::RunFolder(arguments);
    std::cerr << "pellimor-cli: unknown command " << command << " (see pellimor-cli --help)\n";
    return 2;
}
