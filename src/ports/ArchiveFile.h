// The file a web archive is written into, as the core sees it: created new (never replacing
// a file), written front to back, and removed again when it is not finished. A zip archive
// takes its members one at a time, each stored as it is given; a plain file has no members.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ports/Result.h"

namespace pellimor {

class ArchiveFile {
  public:
    virtual ~ArchiveFile() = default;
    // The file's path, for texts the user reads.
    virtual const std::string& Path() const = 0;
    // Starts the member name (a zip's path, "/"-separated); a plain file takes none.
    virtual Status BeginMember(const std::string& name) = 0;
    // Appends bytes to the member begun, or to the plain file.
    virtual Status Append(std::string_view bytes) = 0;
    // How many bytes the member begun (or the plain file) holds so far.
    virtual std::uint64_t Written() const = 0;
    virtual Status EndMember() = 0;
    // Completes the file (a zip's directory); until then it is removed when closed.
    virtual Status Finish() = 0;
};

// Compression as web archives take it: every record a gzip member (RFC 1952) of its own, so
// that a reader may start at any record's offset.
class GzipCompressor {
  public:
    virtual ~GzipCompressor() = default;
    virtual Result<std::string> GzipMember(std::string_view bytes) = 0;
};

}  // namespace pellimor
