// pellimor-cli info and needs: a movie's facts, and the addresses it may load, each found in
// the cache or missing.
#pragma once

#include <string>
#include <vector>

namespace pellimor {

int RunInfo(const std::vector<std::string>& arguments);
int RunNeeds(const std::vector<std::string>& arguments);

}  // namespace pellimor
