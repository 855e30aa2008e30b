// The errors of pellimor-cli's commands, printed as its error lines, and the exit status.
#pragma once

#include <string>

namespace pellimor {

// Prints the message as the terminal's error lines; the status.
int Report(int status, const std::string& message);

// A usage error: the command line asked for something this command cannot do.
int UsageError(const std::string& command, const std::string& message);

}  // namespace pellimor
