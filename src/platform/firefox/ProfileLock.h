// Whether Firefox runs on the profile a cache belongs to. A running Firefox holds its
// profile's lock: an fcntl lock on .parentlock (Linux), the open parent.lock (Windows, also
// under Wine) and the "lock" link naming "IP:+PID". A cache changed under it would be
// overwritten from Firefox's memory, or break its index.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace pellimor::firefox {

// The profile folders a cache folder may belong to: its parent, and the roaming profile of
// the same name where the cache lives apart from it (~/.cache/mozilla/firefox/<p> and
// ~/.mozilla/firefox/<p>; AppData/Local/... and AppData/Roaming/...; Local Settings/
// Application Data/... and Application Data/... of Windows XP).
std::vector<std::string> ProfileFoldersOf(const std::string& cacheFolder);

// What shows that a program holds the profile's lock, for the user; nothing when none.
std::optional<std::string> ProfileLockHolder(const std::string& profileFolder);

}  // namespace pellimor::firefox
