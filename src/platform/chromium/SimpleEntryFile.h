// One `<hash>_0` file of Chromium's simple cache, read: its key, where its body lies and the
// response stored with it. Shared by listing, reading and deleting.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/chromium/ResponseInfo.h"
#include "ports/Result.h"

namespace pellimor::chromium {

struct SimpleEntryFile {
    std::string key;
    std::uint64_t bodyOffset = 0;
    std::uint64_t bodySize = 0;  // the bytes present
    static constexpr std::size_t kStartLength = 8;
    std::string bodyStart;  // its first kStartLength bytes
    // The response, when the end of the file is intact; Chromium writes it last.
    std::optional<ResponseInfo> response;
    // The body was cut short: the file ends before its end records, or Chromium stored it
    // while the body was still arriving.
    bool truncated = false;
};

// Reads the entry file open on fd (size bytes); path names it in messages. Reads the file's
// start and end (where the last record is missing, at most its last 256 KiB), never more.
Result<SimpleEntryFile> ReadSimpleEntryFile(int fd, std::uint64_t size, const std::string& path);

}  // namespace pellimor::chromium
