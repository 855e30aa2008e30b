// The subcommands of pellimor-cli. Each returns the process exit status.
#pragma once

#include <string>
#include <vector>

namespace pellimor {

int RunList(const std::vector<std::string>& arguments);
int RunDemo(const std::vector<std::string>& arguments);
int RunSave(const std::vector<std::string>& arguments);
int RunDelete(const std::vector<std::string>& arguments);
int RunFolder(const std::vector<std::string>& arguments);

extern const char* const kCliUsage;

}  // namespace pellimor
