// One command of pellimor-cli as the command table holds it: its name, its help, the options
// it reads and what runs it. A command is one file that defines its Command, and one row
// of the table (CommandTable.cpp).
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pellimor {

// An option a command reads besides the program's own (--cache, --codepage, --read-only).
// The words of a command line are read against the options of every command, so that an
// option of another command is named as such; an option keeps one form across them.
struct CommandOption {
    std::string_view name;  // as written: --site
    bool takesValue = false;
    // Not empty: the command refuses the option with this, before any other it does not take.
    std::string_view refusal = {};
};

struct Command {
    std::string_view name;
    // Its lines under "Commands:" in pellimor-cli --help, in the order of the table.
    std::string_view summary;
    // pellimor-cli NAME --help; the help adds the options every command takes and the exit
    // statuses, or only the exit statuses for a command that takes none of those options.
    std::string_view usage;
    bool withCommonOptions = true;
    // What ReadWords takes; empty for a command that reads its own words.
    std::span<const CommandOption> options;
    // The arguments after the command's name; the exit status.
    int (*run)(const std::vector<std::string>& arguments) = nullptr;
};

}  // namespace pellimor
