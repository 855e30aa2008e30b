#include "support/BombBodies.h"

#include <brotli/encode.h>
#include <zlib.h>

#include <algorithm>
#include <memory>
#include <stdexcept>

#include "catalogue/SwfBuilder.h"

namespace pellimor::test {

namespace {

class Encoder {
  public:
    virtual ~Encoder() = default;
    virtual void Put(std::string_view bytes, bool last) = 0;
    std::string out;
};

class GzipEncoder : public Encoder {
  public:
    GzipEncoder() {
        // A window of 2^15 with 16 added: gzip's framing.
        if (deflateInit2(&z_, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
            throw std::runtime_error("deflateInit2");
        }
    }
    ~GzipEncoder() override { deflateEnd(&z_); }
    void Put(std::string_view bytes, bool last) override {
        z_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
        z_.avail_in = static_cast<uInt>(bytes.size());
        char buffer[1 << 16];
        int code = Z_OK;
        do {
            z_.next_out = reinterpret_cast<Bytef*>(buffer);
            z_.avail_out = sizeof buffer;
            code = deflate(&z_, last ? Z_FINISH : Z_NO_FLUSH);
            out.append(buffer, sizeof buffer - z_.avail_out);
        } while (z_.avail_out == 0 || (last && code != Z_STREAM_END));
    }

  private:
    z_stream z_{};
};

class BrotliEncoder : public Encoder {
  public:
    BrotliEncoder() : state_(BrotliEncoderCreateInstance(nullptr, nullptr, nullptr)) {
        BrotliEncoderSetParameter(state_, BROTLI_PARAM_QUALITY, 5);
    }
    ~BrotliEncoder() override { BrotliEncoderDestroyInstance(state_); }
    void Put(std::string_view bytes, bool last) override {
        std::size_t available = bytes.size();
        const auto* next = reinterpret_cast<const std::uint8_t*>(bytes.data());
        for (;;) {
            std::size_t outAvailable = 0;
            if (!BrotliEncoderCompressStream(
                    state_, last ? BROTLI_OPERATION_FINISH : BROTLI_OPERATION_PROCESS, &available,
                    &next, &outAvailable, nullptr, nullptr)) {
                throw std::runtime_error("brotli");
            }
            std::size_t size = 0;
            const std::uint8_t* produced = BrotliEncoderTakeOutput(state_, &size);
            out.append(reinterpret_cast<const char*>(produced), size);
            const bool done = last ? BrotliEncoderIsFinished(state_) != 0 : available == 0;
            if (done && !BrotliEncoderHasMoreOutput(state_)) {
                break;
            }
        }
    }

  private:
    BrotliEncoderState* state_;
};

}  // namespace

BigMovieParts BigMovieSplit(std::uint64_t length) {
    // 550 x 400 pixels (15-bit RECT fields), 24 frames a second, one frame.
    const std::string frame =
        std::string("\x78\x00\x05\x5F\x00\x00\x0F\xA0\x00", 9) + Le16(24 << 8) + Le16(1);
    const std::string tail =
        SwfTag(57, std::string(kBigMovieLoads) + std::string(3, '\0')) + Le16(0);
    BigMovieParts parts;
    parts.head = "FWS" + std::string(1, '\x0A') + Le32(static_cast<std::uint32_t>(length)) + frame;
    const std::uint64_t binary = length - parts.head.size() - 6 - tail.size();
    parts.head += SwfTag(87, "", true, static_cast<std::int64_t>(binary)) + Le16(1) + Le32(0);
    parts.zeros = binary - 6;
    parts.tail = tail;
    return parts;
}

void BigMovie(std::uint64_t length, const std::function<void(std::string_view)>& put) {
    const BigMovieParts parts = BigMovieSplit(length);
    put(parts.head);
    const std::string zeros(1 << 20, '\0');
    for (std::uint64_t left = parts.zeros; left > 0;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, zeros.size()));
        put(std::string_view(zeros).substr(0, n));
        left -= n;
    }
    put(parts.tail);
}

std::string EncodedBigMovie(std::uint64_t length, BodyCoding coding) {
    std::unique_ptr<Encoder> encoder;
    if (coding == BodyCoding::kBrotli) {
        encoder = std::make_unique<BrotliEncoder>();
    } else {
        encoder = std::make_unique<GzipEncoder>();
    }
    BigMovie(length, [&](std::string_view piece) { encoder->Put(piece, false); });
    encoder->Put({}, true);
    return std::move(encoder->out);
}

}  // namespace pellimor::test
