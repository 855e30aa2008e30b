#include "platform/compression/SwfDecompressor.h"

#include <lzma.h>
#include <zlib.h>

#include <algorithm>
#include <climits>

namespace pellimor {

namespace {

// Output grows by at most this much per step, so memory follows what was really decoded.
constexpr std::size_t kChunk = 64 * 1024;

std::size_t NextStep(const std::string& out, std::uint64_t limit) {
    return static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, limit - out.size()));
}

}  // namespace

Result<Decoded> SwfDecompressor::Inflate(std::string_view zlibStream, std::uint64_t limit) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK) {
        return Fail("zlib could not start");
    }
    Decoded d;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zlibStream.data()));
    std::size_t fed = 0;
    for (;;) {
        if (z.avail_in == 0 && fed < zlibStream.size()) {
            const std::size_t step = std::min<std::size_t>(zlibStream.size() - fed, UINT_MAX);
            z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zlibStream.data() + fed));
            z.avail_in = static_cast<uInt>(step);
            fed += step;
        }
        if (d.bytes.size() >= limit) {
            d.atLimit = true;
            break;
        }
        const std::size_t before = d.bytes.size();
        const std::size_t step = NextStep(d.bytes, limit);
        d.bytes.resize(before + step);
        z.next_out = reinterpret_cast<Bytef*>(d.bytes.data() + before);
        z.avail_out = static_cast<uInt>(step);
        const int rc = inflate(&z, Z_NO_FLUSH);
        d.bytes.resize(before + step - z.avail_out);
        if (rc == Z_STREAM_END) {
            d.ended = true;
            break;
        }
        if (rc == Z_BUF_ERROR ||
            (rc == Z_OK && z.avail_in == 0 && fed == zlibStream.size() && z.avail_out != 0)) {
            break;  // the input ran out before the stream's end
        }
        if (rc != Z_OK) {
            d.damage = z.msg != nullptr ? z.msg : "damaged zlib data";
            break;
        }
    }
    inflateEnd(&z);
    return d;
}

Result<Decoded> SwfDecompressor::DecodeSwfLzma(std::string_view propsAndData,
                                               std::uint64_t uncompressedSize,
                                               std::uint64_t limit) {
    Decoded d;
    if (propsAndData.size() < 5) {
        return d;  // not even the properties: nothing to decode
    }
    const std::uint64_t wanted = std::min(uncompressedSize, limit);
    // The .lzma header liblzma reads: the properties, then the size as 64 bits. No distance
    // can reach further back than the output goes, so the dictionary never needs to be
    // larger than what may come out; a header asking for 4 GB of dictionary gets less.
    std::uint8_t header[13];
    std::copy_n(reinterpret_cast<const std::uint8_t*>(propsAndData.data()), 5, header);
    std::uint32_t dictionary = 0;
    for (int i = 0; i < 4; ++i) {
        dictionary |= static_cast<std::uint32_t>(header[1 + i]) << (8 * i);
    }
    const std::uint64_t enough = std::max<std::uint64_t>(wanted, 4096);
    if (dictionary > enough) {
        dictionary = static_cast<std::uint32_t>(enough);
        for (int i = 0; i < 4; ++i) {
            header[1 + i] = static_cast<std::uint8_t>(dictionary >> (8 * i));
        }
    }
    for (int i = 0; i < 8; ++i) {
        header[5 + i] = static_cast<std::uint8_t>(uncompressedSize >> (8 * i));
    }
    lzma_stream z = LZMA_STREAM_INIT;
    if (lzma_alone_decoder(&z, UINT64_MAX) != LZMA_OK) {
        return Fail("liblzma could not start");
    }
    bool headerFed = false;
    std::size_t fed = 5;
    for (;;) {
        if (z.avail_in == 0) {
            if (!headerFed) {
                z.next_in = header;
                z.avail_in = sizeof header;
                headerFed = true;
            } else if (fed < propsAndData.size()) {
                z.next_in = reinterpret_cast<const std::uint8_t*>(propsAndData.data() + fed);
                z.avail_in = propsAndData.size() - fed;
                fed = propsAndData.size();
            }
        }
        if (d.bytes.size() >= wanted) {
            d.ended = d.bytes.size() == uncompressedSize;
            d.atLimit = !d.ended;
            break;
        }
        const std::size_t before = d.bytes.size();
        const std::size_t step = NextStep(d.bytes, wanted);
        d.bytes.resize(before + step);
        z.next_out = reinterpret_cast<std::uint8_t*>(d.bytes.data() + before);
        z.avail_out = step;
        const bool last = headerFed && fed == propsAndData.size();
        const lzma_ret rc = lzma_code(&z, last ? LZMA_FINISH : LZMA_RUN);
        d.bytes.resize(before + step - z.avail_out);
        if (rc == LZMA_STREAM_END) {
            d.ended = d.bytes.size() == uncompressedSize;
            if (!d.ended) {
                d.damage = "the LZMA data ends before the size the header gives";
            }
            break;
        }
        if (rc == LZMA_BUF_ERROR) {
            break;  // the input ran out
        }
        if (rc != LZMA_OK) {
            d.damage = rc == LZMA_DATA_ERROR ? "damaged LZMA data" : "LZMA data not readable";
            break;
        }
    }
    lzma_end(&z);
    return d;
}

}  // namespace pellimor
