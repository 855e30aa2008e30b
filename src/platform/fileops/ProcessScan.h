// Which other running program holds a cache's files: a cache is changed only while its
// browser leaves it alone.
#pragma once

#include <optional>
#include <string>

namespace pellimor {

// The process that has the file open for writing or mapped, if any (besides this one), as
// "name (process N)".
std::optional<std::string> ProcessHoldingFile(const std::string& path);

// The process that has any file within folder (or the folder itself) open, if any
// (besides this one): a browser keeps its cache's files open while it runs.
std::optional<std::string> ProcessUsingFolder(const std::string& folder);

}  // namespace pellimor
