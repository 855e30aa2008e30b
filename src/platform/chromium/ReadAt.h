// Reads of a byte range of an open file, for the Chromium readers, which look at a few
// places of large files rather than reading them whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "ports/Result.h"

namespace pellimor::chromium {

// Up to length bytes from offset; fewer when the file ends first.
Result<std::string> ReadAt(int fd, std::uint64_t offset, std::size_t length,
                           const std::string& path);

inline std::span<const std::uint8_t> AsBytes(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

}  // namespace pellimor::chromium
