// SHA-1 and SHA-256 against Python's hashlib, fed in pieces of many sizes so that the block
// boundaries and the padding's two forms are crossed; base32 against its standard's examples.
#include <gtest/gtest.h>

#include <sstream>

#include "files/warc/Digests.h"
#include "support/TempFolder.h"

namespace pellimor {
namespace {

// The digest of bytes fed in pieces of the size given, in lower-case hex.
template <typename Hash>
std::string Hex(std::string_view bytes, std::size_t piece) {
    Hash hash;
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        hash.Update(bytes.substr(at, piece));
    }
    return LowerHex(DigestBytes(hash.Finish()));
}

TEST(DigestsTest, Base32AsRfc4648) {
    const std::pair<const char*, const char*> cases[] = {
        {"", ""},
        {"f", "MY======"},
        {"fo", "MZXQ===="},
        {"foo", "MZXW6==="},
        {"foob", "MZXW6YQ="},
        {"fooba", "MZXW6YTB"},
        {"foobar", "MZXW6YTBOI======"},
    };
    for (const auto& [input, encoded] : cases) {
        EXPECT_EQ(Base32(input), encoded) << input;
    }
    // What WARC writers put for an empty payload.
    EXPECT_EQ(WarcSha1(""), "sha1:3I42H3S6NNFQ2MSVX7XZKYAYSCX5QBYJ");
}

// Every length around the block and padding boundaries, and a long one, against hashlib: the
// prefixes of one file of pseudo-random bytes.
TEST(DigestsTest, SameAsPythonsHashlib) {
    test::TempFolder temp;
    std::string bytes(1000003, '\0');
    std::uint32_t x = 1;
    for (char& c : bytes) {
        x = x * 1103515245U + 12345U;
        c = static_cast<char>(x >> 23);
    }
    test::WriteFile(temp / "in", bytes);
    int status = -1;
    const std::string out = test::RunCommand(
        "python3 -c 'import hashlib,sys\n"
        "d=open(sys.argv[1],\"rb\").read()\n"
        "for n in [*range(131), len(d)]:\n"
        "    print(hashlib.sha1(d[:n]).hexdigest(), hashlib.sha256(d[:n]).hexdigest())' '" +
            temp / "in" + "'",
        status);
    ASSERT_EQ(status, 0) << out;
    std::istringstream lines(out);
    for (std::size_t n = 0; n <= 131; ++n) {
        const std::string_view input =
            std::string_view(bytes).substr(0, n < 131 ? n : bytes.size());
        std::string sha1;
        std::string sha256;
        lines >> sha1 >> sha256;
        EXPECT_EQ(Hex<Sha1>(input, 7 + n % 64), sha1) << input.size();
        EXPECT_EQ(Hex<Sha256>(input, 13 + n % 70), sha256) << input.size();
    }
}

}  // namespace
}  // namespace pellimor
