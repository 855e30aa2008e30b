// The subcommands of pellimor-cli. Each returns the process exit status.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pellimor {

// The exit statuses, one table for every subcommand.
inline constexpr int kExitDone = 0;    // everything asked was done
inline constexpr int kExitFailed = 1;  // an operation failed: the cache, a copy, a delete
inline constexpr int kExitUsage = 2;   // a usage error, or a NAME or site the cache lacks

int RunList(const std::vector<std::string>& arguments);
int RunDemo(const std::vector<std::string>& arguments);
int RunSave(const std::vector<std::string>& arguments);
int RunDelete(const std::vector<std::string>& arguments);
int RunFolder(const std::vector<std::string>& arguments);

extern const char* const kCliUsage;

// The usage of one subcommand, or nullptr for a word that names none.
const char* CommandUsage(std::string_view command);

}  // namespace pellimor
