// How the core inflates the compressed body of a movie: zlib for CWS, raw LZMA for ZWS.
// Both stop at a limit, so a header that claims gigabytes costs no more than the limit.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ports/Result.h"

namespace pellimor {

// What came out of a stream: the bytes so far, and why decoding stopped. A stream that is
// cut short or damaged still gives the bytes before the cut.
struct Decoded {
    std::string bytes;
    bool ended = false;    // the stream was complete (its end, or the size it was given)
    bool atLimit = false;  // stopped because limit bytes were out
    std::string damage;    // what the decoder found wrong; empty when it found nothing
};

class Decompressor {
  public:
    virtual ~Decompressor() = default;
    // A zlib stream (RFC 1950), at most limit bytes out.
    virtual Result<Decoded> Inflate(std::string_view zlibStream, std::uint64_t limit) = 0;
    // LZMA as SWF keeps it: 5 bytes of properties, then the raw LZMA data, which decodes to
    // uncompressedSize bytes; at most limit bytes out.
    virtual Result<Decoded> DecodeSwfLzma(std::string_view lzmaProps5AndData,
                                          std::uint64_t uncompressedSize, std::uint64_t limit) = 0;
};

}  // namespace pellimor
