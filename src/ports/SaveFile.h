// A movie's save (a Flash local shared object) as found beside a browser's cache: where
// Flash Player kept it, "#SharedObjects/<random>/<host>/<path>/<name>.sol", and its bytes,
// read once from the file found.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ports/CacheSource.h"

namespace pellimor {

struct FoundSave {
    std::string file;  // full path, for the user
    std::string host;  // lower case; "localhost" for movies played from files
    // The folders between the host and the file, each as found on disk (a movie's address
    // path: folders, then the movie's own file name); empty for a save kept for the host.
    std::vector<std::string> path;
    // The save's name: the file's name without ".sol"; a name that holds "/" has its
    // first part in a folder marked "#" ("#a/b.sol" for "a/b").
    std::string name;
    std::string bytes;
    std::optional<UnixTime> modified;
};

}  // namespace pellimor
