// Which other running program holds a cache's files: a cache is changed only while its
// browser leaves it alone.
#pragma once

#include <sys/stat.h>

#include <optional>
#include <string>

namespace pellimor {

// The process (besides this one) that could write its own copy of the file back: one that
// has it mapped shared and writable, or open for writing; as "name (process N)". A program
// that only reads it (a read-only or private mapping, a descriptor open for reading: another
// listing) is no danger and is not named.
std::optional<std::string> ProcessWritingFile(const struct stat& file);
std::optional<std::string> ProcessHoldingFile(const std::string& path);  // the same, by path

// The process (besides this one) that has the file open or mapped in any way.
std::optional<std::string> ProcessOpeningFile(const struct stat& file);

// The process that has any file within folder (or the folder itself) open, if any
// (besides this one): a browser keeps its cache's files open while it runs.
std::optional<std::string> ProcessUsingFolder(const std::string& folder);

// The process holding an advisory lock (flock) on the file, if one does.
std::optional<std::string> ProcessLockingFile(const struct stat& file);

}  // namespace pellimor
