// Bodies as browsers store them: with the Content-Encoding the server used (gzip, deflate,
// br), decoded here before they are shown, played or saved. Decoding is a stream: the stored
// bytes are read in pieces and the decoded bytes handed on in pieces, so that a small body
// that decodes to a gigabyte costs no more memory than the receiver keeps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "ports/ByteSink.h"
#include "ports/Result.h"

namespace pellimor {

// A Content-Encoding listing more codings than this is refused: servers send one, rarely
// two; each further one is a decoder (with its own window) stacked on the others.
inline constexpr std::size_t kMostContentCodings = 8;

// Stored bytes as a format reads them: up to capacity bytes into buffer, 0 at the end.
using StoredReader = std::function<Result<std::size_t>(char* buffer, std::size_t capacity)>;

// What a decoding handed on: the decoded byte count, whether an encoded stream ended before
// its end mark, and whether the sink stopped it.
struct DecodedStream {
    std::uint64_t bytes = 0;
    bool truncated = false;
    bool stopped = false;
};

// Decodes what read gives from encoding ("gzip", "x-gzip", "deflate", "br", "identity" or
// empty; case-blind; a list of several is decoded last first; identity costs nothing) and
// hands it to sink. A body that would grow beyond limit decoded bytes fails rather than
// running on, after what came before the limit was handed on.
Result<DecodedStream> DecodeContentStream(std::string_view encoding, const StoredReader& read,
                                          std::uint64_t limit, const ByteSink& sink);

// The same for stored bytes in memory; an identity body is handed on from them, not copied.
Result<DecodedStream> DecodeContentStream(std::string_view encoding, std::string_view stored,
                                          std::uint64_t limit, const ByteSink& sink);

// The body decoded whole, at most limit bytes. A body whose encoded stream ends early gives
// what was decoded with truncated set.
struct DecodedBody {
    std::string bytes;
    bool truncated = false;
};
Result<DecodedBody> DecodeContent(std::string_view encoding, std::string_view stored,
                                  std::uint64_t limit);

// Reads length bytes from offset of fd in pieces; a file shorter than that ends the stream
// early and sets cut. path names the file in errors.
StoredReader ReadFromDescriptor(int fd, std::uint64_t offset, std::uint64_t length,
                                std::string path, bool& cut);

}  // namespace pellimor
