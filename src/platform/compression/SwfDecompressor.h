// The decompression the core asks for, done by zlib and liblzma.
#pragma once

#include "ports/Decompressor.h"

namespace pellimor {

class SwfDecompressor : public Decompressor {
  public:
    Result<Decoded> Inflate(std::string_view zlibStream, std::uint64_t limit) override;
    Result<Decoded> DecodeSwfLzma(std::string_view lzmaProps5AndData,
                                  std::uint64_t uncompressedSize, std::uint64_t limit) override;
};

}  // namespace pellimor
