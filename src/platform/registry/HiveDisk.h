// Finding and reading the hive file without trusting what is at its path: a link is
// followed to the file it names, and only a regular file of a sane size is read, opened
// once and checked on the descriptor, so that a pipe, a device or a folder there neither
// blocks nor floods the program.
#pragma once

#include <cstdint>
#include <string>

namespace pellimor {

constexpr std::uint64_t kHiveSizeLimit = 16 * 1024 * 1024;

// A status of the registry's (kStatusSuccess or another) with the reason for the user.
struct HiveDiskResult {
    long status = 0;
    std::string problem;
};

// The file that a change of the hive at path replaces: path itself, or the file its
// link (or chain of links) ends at, so that the link stays a link. A link loop or a link
// to nothing is refused.
HiveDiskResult LocateHive(const std::string& path, std::string& file);

// Reads the hive file, links followed unless noFollow; a missing file reads as empty
// text with exists false.
HiveDiskResult ReadHiveText(const std::string& path, bool noFollow, std::string& text,
                            bool& exists);

}  // namespace pellimor
