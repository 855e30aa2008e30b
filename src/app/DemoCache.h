// A small, realistic cache profile to try the program on: a dozen movies from five sites,
// a cookie, a history entry, a page, and two leftover movies no entry refers to.
#pragma once

#include <string>

#include "ports/Result.h"

namespace pellimor {

// Makes the profile under folder (standing for AppData/Local/Microsoft/Windows) and returns
// its cache folder, or why it could not.
Result<std::string> MakeDemoCache(const std::string& folder);

}  // namespace pellimor
