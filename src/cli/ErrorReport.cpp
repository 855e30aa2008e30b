#include "cli/ErrorReport.h"

#include <iostream>

#include "cli/ExitStatus.h"
#include "cli/TerminalText.h"

namespace pellimor {

int Report(int status, const std::string& message) {
    std::cerr << ErrorLines(message);
    return status;
}

int UsageError(const std::string& command, const std::string& message) {
    return Report(kExitUsage, message + " (see pellimor-cli " + command + " --help)");
}

}  // namespace pellimor
