// Bodies as servers send them: gzip and brotli, made with the libraries browsers use.
#pragma once

#include <zlib.h>

#include <brotli/encode.h>

#include <cstdint>
#include <string>

namespace pellimor::test {

// zlib's window bits: 15 + 16 frames the stream as gzip, 15 as zlib, -15 leaves it raw.
inline std::string Compressed(const std::string& bytes, int windowBits) {
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, bytes.size()) + 32, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream.avail_in = static_cast<uInt>(bytes.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

inline std::string Gzipped(const std::string& bytes) {
    return Compressed(bytes, 15 + 16);
}

inline std::string Brotli(const std::string& bytes) {
    std::string out(BrotliEncoderMaxCompressedSize(bytes.size()) + 64, '\0');
    std::size_t size = out.size();
    BrotliEncoderCompress(BROTLI_DEFAULT_QUALITY, BROTLI_DEFAULT_WINDOW, BROTLI_MODE_GENERIC,
                          bytes.size(), reinterpret_cast<const std::uint8_t*>(bytes.data()), &size,
                          reinterpret_cast<std::uint8_t*>(out.data()));
    out.resize(size);
    return out;
}

}  // namespace pellimor::test
