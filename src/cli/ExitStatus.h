// The exit statuses of pellimor-cli, one table for every command.
#pragma once

namespace pellimor {

inline constexpr int kExitDone = 0;    // everything asked was done
inline constexpr int kExitFailed = 1;  // an operation failed: the cache, a copy, a delete
inline constexpr int kExitUsage = 2;   // a usage error, or a NAME or site the cache lacks

}  // namespace pellimor
