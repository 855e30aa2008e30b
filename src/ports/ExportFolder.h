// The folder an export writes into, as the core sees it: paths are given as segments below
// the folder, so that nothing the core builds can name a place outside it. Implementations
// follow no link below the folder and create every file exclusively.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ports/FileOps.h"

namespace pellimor {

class ExportFolder {
  public:
    virtual ~ExportFolder() = default;
    // The folder's own path, for texts the user reads.
    virtual const std::string& Path() const = 0;
    // Writes bytes to a new file at segments, making the folders before it as needed; never
    // replaces a file, never follows a link (a link where a folder or the file would go is a
    // failure, not a way out). A failure of kind kTargetExists when something is there
    // already.
    virtual Status WriteNew(const std::vector<std::string>& segments, std::string_view bytes) = 0;
    // WriteNew for bytes that produce hands to its sink piece by piece; a failure of produce
    // leaves no file.
    virtual Status WriteNewFrom(const std::vector<std::string>& segments,
                                const std::function<Status(const ByteSink&)>& produce) = 0;
    // Whether the regular file at segments (no link followed) holds exactly what produce
    // hands on; read in pieces beside it, so neither is held whole.
    virtual bool SameAs(const std::vector<std::string>& segments,
                        const std::function<Status(const ByteSink&)>& produce) = 0;
    // The contents of the regular file at segments when it is one (no link followed) and
    // holds at most limit bytes.
    virtual Result<std::string> ReadExisting(const std::vector<std::string>& segments,
                                             std::uint64_t limit) = 0;
};

}  // namespace pellimor
