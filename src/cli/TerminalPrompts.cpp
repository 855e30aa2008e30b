#include "cli/TerminalPrompts.h"

#include <unistd.h>

#include <iostream>

#include "cli/TerminalText.h"

namespace pellimor {

namespace {

// Each line of text as an error line; names and folders from the cache made safe to print.
std::string EscapedErrorLines(const std::string& text) {
    std::string out;
    for (std::size_t start = 0; start <= text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        out += ErrorLines(ForTerminal(std::string_view(text).substr(start, end - start)));
        if (end + 1 >= text.size()) {
            break;  // a last line break ends the last line, as in ErrorLines
        }
        start = end + 1;
    }
    return out;
}

}  // namespace

void TerminalPrompts::ShowError(const std::string& text) {
    std::cerr << EscapedErrorLines(text);
}

void TerminalPrompts::ShowErrorDetails(const std::string& text, const std::string& details) {
    std::cerr << EscapedErrorLines(text) << EscapedErrorLines(details);
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
