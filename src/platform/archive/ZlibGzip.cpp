#include "platform/archive/ZlibGzip.h"

#include <zlib.h>

#include <algorithm>

namespace pellimor {

Result<std::string> ZlibGzip::GzipMember(std::string_view bytes) {
    z_stream stream{};
    // 15 + 16: a gzip header and trailer around the deflate stream.
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) !=
        Z_OK) {
        return Fail("the compressor could not be started");
    }
    std::string out;
    out.resize(deflateBound(&stream, bytes.size()) + 32);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    std::size_t left = bytes.size();
    int result = Z_OK;
    // zlib counts in 32 bits: feed at most 1 GiB at a time.
    while (result == Z_OK) {
        const std::size_t chunk = std::min<std::size_t>(left, 1U << 30);
        stream.avail_in = static_cast<uInt>(chunk);
        const std::size_t room = out.size() - stream.total_out;
        stream.avail_out = static_cast<uInt>(std::min<std::size_t>(room, 1U << 30));
        left -= chunk;
        result = deflate(&stream, left == 0 ? Z_FINISH : Z_NO_FLUSH);
        left += stream.avail_in;
    }
    const std::size_t produced = stream.total_out;
    deflateEnd(&stream);
    if (result != Z_STREAM_END) {
        return Fail("the record could not be compressed");
    }
    out.resize(produced);
    return out;
}

std::uint32_t Crc32(std::uint32_t crc, std::string_view bytes) {
    while (!bytes.empty()) {
        const std::size_t chunk = std::min<std::size_t>(bytes.size(), 1U << 30);
        crc = static_cast<std::uint32_t>(
            crc32(crc, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(chunk)));
        bytes.remove_prefix(chunk);
    }
    return crc;
}

}  // namespace pellimor
