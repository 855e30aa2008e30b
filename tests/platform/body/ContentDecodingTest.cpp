// Bodies stored with their content encoding: decoded whole, marked when cut short, refused
// when damaged or when they would grow beyond the limit.
#include <gtest/gtest.h>

#include <string>

#include "platform/body/ContentDecoding.h"
#include "support/Compressed.h"

namespace pellimor {
namespace {

// zlib's window bits for the three framings a server may send.
enum class Framing { kGzip = 15 + 16, kZlib = 15, kRaw = -15 };

std::string Deflated(const std::string& text, Framing framing) {
    return test::Compressed(text, static_cast<int>(framing));
}

std::string Movie() {
    std::string movie = "FWS\x0a";
    for (int i = 0; movie.size() < 300000; ++i) {
        movie += "frame " + std::to_string(i * 7919 % 1000) + ";";
    }
    return movie;
}

// Whole bodies come out as they were sent; bodies cut short give what was stored, and say so.
TEST(ContentDecodingTest, DecodesEveryEncodingBrowsersStoreWholeOrCut) {
    const std::string movie = Movie();
    const std::string gzip = Deflated(movie, Framing::kGzip);
    const std::string br = test::Brotli(movie);
    const struct {
        const char* encoding;
        std::string stored;
        bool cut;
    } cases[] = {
        {"", movie, false},
        {"identity", movie, false},
        {"gzip", gzip, false},
        {"X-GZIP", gzip, false},
        {"deflate", Deflated(movie, Framing::kZlib), false},
        {" Deflate ", Deflated(movie, Framing::kRaw), false},  // servers that send raw deflate
        {"br", br, false},
        {"gzip, br", test::Brotli(gzip), false},  // gzip applied first
        {"gzip", gzip.substr(0, gzip.size() / 2), true},
        {"gzip", gzip.substr(0, gzip.size() - 4), true},  // only the trailer's length is missing
        {"br", br.substr(0, br.size() / 2), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.encoding) + " of " + std::to_string(c.stored.size()));
        const Result<DecodedBody> body = DecodeContent(c.encoding, c.stored, 1 << 20);
        ASSERT_TRUE(body.ok()) << body.error();
        EXPECT_EQ(body->truncated, c.cut);
        EXPECT_EQ(body->bytes, c.cut ? movie.substr(0, body->bytes.size()) : movie);
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
        {"br", test::Brotli(std::string(8 << 20, 'A')), "grows beyond"},
        {"", std::string(2 << 20, 'A'), "larger than"},
        {"gzip", "FWS\x0a not compressed at all", "damaged"},
        {"br", "\xff\xff\xff\xff\xff\xff", "damaged"},
        {"gzip", damaged, "damaged"},
        {"compress", "x", "cannot decode"},
        {"gzip, br, gzip, br, gzip, br, gzip, br, gzip", "x", "lists 9 content encodings"},
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
