#include "cli/TerminalPrompts.h"

#include <unistd.h>

#include <iostream>

#include "cli/TerminalText.h"

namespace pellimor {

void TerminalPrompts::ShowError(const std::string& text) {
    std::cerr << ErrorLines(text);
}

bool TerminalPrompts::AskYesNo(const std::string& text) {
    std::cout << shownFirst_ << std::flush;
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

}  // namespace pellimor
