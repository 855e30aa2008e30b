// pellimor-cli export: chosen movies as games whole, each with the files it loads under their
// addresses and a meta.yaml, in a folder of their own.
#pragma once

#include <string>
#include <vector>

namespace pellimor {

int RunExport(const std::vector<std::string>& arguments);

}  // namespace pellimor
