// pellimor-cli saves: Flash Player's saves found beside the caches, each with the cached
// movies it belongs to; with --json their values too.
#pragma once

#include <string>
#include <vector>

namespace pellimor {

int RunSaves(const std::vector<std::string>& arguments);

}  // namespace pellimor
