// Bodies stored with their content encoding: decoded whole, marked when cut short, refused
// when damaged or when they would grow beyond the limit.
#include <brotli/encode.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

#include "platform/body/ContentDecoding.h"

namespace pellimor {
namespace {

// zlib's window bits for the three framings a server may send.
enum class Framing { kGzip = 15 + 16, kZlib = 15, kRaw = -15 };

std::string Deflated(const std::string& text, Framing framing) {
    z_stream stream{};
    EXPECT_EQ(
        deflateInit2(&stream, 9, Z_DEFLATED, static_cast<int>(framing), 8, Z_DEFAULT_STRATEGY),
        Z_OK);
    std::string out(deflateBound(&stream, text.size()) + 32, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

std::string Brotli(const std::string& text) {
    std::string out(BrotliEncoderMaxCompressedSize(text.size()) + 16, '\0');
    std::size_t size = out.size();
    EXPECT_TRUE(BrotliEncoderCompress(BROTLI_DEFAULT_QUALITY, BROTLI_DEFAULT_WINDOW,
                                      BROTLI_MODE_GENERIC, text.size(),
                                      reinterpret_cast<const std::uint8_t*>(text.data()), &size,
                                      reinterpret_cast<std::uint8_t*>(out.data())));
    out.resize(size);
    return out;
}

std::string Movie() {
    std::string movie = "FWS\x0a";
    for (int i = 0; movie.size() < 300000; ++i) {
        movie += "frame " + std::to_string(i * 7919 % 1000) + ";";
    }
    return movie;
}

TEST(ContentDecodingTest, DecodesEveryEncodingBrowsersStore) {
    const std::string movie = Movie();
    struct Case {
        const char* encoding;
        std::string stored;
    };
    const Case cases[] = {
        {"", movie},
        {"identity", movie},
        {"gzip", Deflated(movie, Framing::kGzip)},
        {"X-GZIP", Deflated(movie, Framing::kGzip)},
        {"deflate", Deflated(movie, Framing::kZlib)},
        {" Deflate ", Deflated(movie, Framing::kRaw)},  // servers that send raw deflate
        {"br", Brotli(movie)},
        {"gzip, br", Brotli(Deflated(movie, Framing::kGzip))},  // gzip applied first
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.encoding);
        const Result<DecodedBody> body = DecodeContent(c.encoding, c.stored, 1 << 20);
        ASSERT_TRUE(body.ok()) << body.error();
        EXPECT_EQ(body->bytes, movie);
        EXPECT_FALSE(body->truncated);
    }
}

TEST(ContentDecodingTest, BodiesCutShortGiveWhatWasStoredAndSaySo) {
    const std::string movie = Movie();
    const std::string gzip = Deflated(movie, Framing::kGzip);
    const std::string br = Brotli(movie);
    struct Case {
        const char* encoding;
        std::string stored;
    };
    const Case cases[] = {
        {"gzip", gzip.substr(0, gzip.size() / 2)},
        {"gzip", gzip.substr(0, gzip.size() - 4)},  // only the trailer's length is missing
        {"br", br.substr(0, br.size() / 2)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.encoding) + " cut to " + std::to_string(c.stored.size()));
        const Result<DecodedBody> body = DecodeContent(c.encoding, c.stored, 1 << 20);
        ASSERT_TRUE(body.ok()) << body.error();
        EXPECT_TRUE(body->truncated);
        EXPECT_LT(body->bytes.size(), movie.size() + 1);
        EXPECT_EQ(body->bytes, movie.substr(0, body->bytes.size()));
    }
}

TEST(ContentDecodingTest, RefusesDamagedOversizedAndUnknownBodies) {
    const std::string bomb = Deflated(std::string(8 << 20, 'A'), Framing::kGzip);
    std::string damaged = Deflated(Movie(), Framing::kGzip);
    damaged[damaged.size() / 2] ^= 0x5a;
    damaged[damaged.size() / 2 + 1] ^= 0xa5;
    struct Case {
        const char* encoding;
        std::string stored;
        const char* said;
    };
    const Case cases[] = {
        {"gzip", bomb, "grows beyond"},
        {"br", Brotli(std::string(8 << 20, 'A')), "grows beyond"},
        {"", std::string(2 << 20, 'A'), "larger than"},
        {"gzip", "FWS\x0a not compressed at all", "damaged"},
        {"br", "\xff\xff\xff\xff\xff\xff", "damaged"},
        {"gzip", damaged, "damaged"},
        {"compress", "x", "cannot decode"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.encoding) + " " + c.said);
        const Result<DecodedBody> body = DecodeContent(c.encoding, c.stored, 1 << 20);
        ASSERT_FALSE(body.ok());
        EXPECT_NE(body.error().find(c.said), std::string::npos) << body.error();
    }
}

}  // namespace
}  // namespace pellimor
