// gzip members made with zlib.
#pragma once

#include "ports/ArchiveFile.h"

namespace pellimor {

class ZlibGzip : public GzipCompressor {
  public:
    Result<std::string> GzipMember(std::string_view bytes) override;
};

// zlib's CRC-32 of bytes, continuing from crc.
std::uint32_t Crc32(std::uint32_t crc, std::string_view bytes);

}  // namespace pellimor
