// The help pellimor-cli prints, made from the command table.
#pragma once

#include <string>

#include "cli/Command.h"

namespace pellimor {

// pellimor-cli --help: the program, every command's summary, the options every command takes.
std::string ProgramHelp();

// pellimor-cli NAME --help.
std::string CommandHelp(const Command& command);

}  // namespace pellimor
