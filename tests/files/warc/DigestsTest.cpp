// SHA-1, SHA-256 and base32 against the standards' own examples and Python's hashlib, fed in
// pieces of every size so that the block boundaries and the padding's two forms are crossed.
#include <gtest/gtest.h>

#include <sstream>

#include "files/warc/Digests.h"
#include "support/TempFolder.h"

namespace pellimor {
namespace {

std::string Sha1Hex(std::string_view bytes, std::size_t piece) {
    Sha1 hash;
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        hash.Update(bytes.substr(at, piece));
    }
    return LowerHex(DigestBytes(hash.Finish()));
}

std::string Sha256Hex(std::string_view bytes, std::size_t piece) {
    Sha256 hash;
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        hash.Update(bytes.substr(at, piece));
    }
    return LowerHex(DigestBytes(hash.Finish()));
}

TEST(DigestsTest, StandardExamples) {
    const struct {
        std::string input;
        const char* sha1;
        const char* sha256;
    } cases[] = {
        {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709",
         "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d",
         "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "84983e441c3bd26ebaae4aa1f95129e5e54670f1",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), "34aa973cd4c4daa4f61eeb2bdbad27316534016f",
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& c : cases) {
        for (const std::size_t piece : {std::size_t{1}, std::size_t{63}, std::size_t{4096}}) {
            if (piece == 1 && c.input.size() > 1000) {
                continue;
            }
            EXPECT_EQ(Sha1Hex(c.input, piece), c.sha1) << c.input.size() << " in " << piece;
            EXPECT_EQ(Sha256Hex(c.input, piece), c.sha256) << c.input.size() << " in " << piece;
        }
    }
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

// Every length around the block and padding boundaries, and a long one, against hashlib.
TEST(DigestsTest, SameAsPythonsHashlib) {
    test::TempFolder temp;
    std::vector<std::size_t> lengths;
    for (std::size_t n = 0; n <= 130; ++n) {
        lengths.push_back(n);
    }
    lengths.push_back(1000003);
    std::string list;
    std::vector<std::string> inputs;
    for (const std::size_t n : lengths) {
        std::string bytes(n, '\0');
        std::uint32_t x = static_cast<std::uint32_t>(n) * 2654435761U + 1;
        for (char& c : bytes) {
            x = x * 1103515245U + 12345U;
            c = static_cast<char>(x >> 23);
        }
        const std::string path = temp / ("in" + std::to_string(n));
        test::WriteFile(path, bytes);
        list += " '" + path + "'";
        inputs.push_back(std::move(bytes));
    }
    int status = -1;
    const std::string out = test::RunCommand(
        "python3 -c 'import hashlib,sys\n"
        "for p in sys.argv[1:]:\n"
        "    d=open(p,\"rb\").read(); print(hashlib.sha1(d).hexdigest(), "
        "hashlib.sha256(d).hexdigest())'" +
            list,
        status);
    ASSERT_EQ(status, 0) << out;
    std::istringstream lines(out);
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        std::string sha1;
        std::string sha256;
        lines >> sha1 >> sha256;
        EXPECT_EQ(Sha1Hex(inputs[i], 7 + i % 64), sha1) << inputs[i].size();
        EXPECT_EQ(Sha256Hex(inputs[i], 13 + i % 70), sha256) << inputs[i].size();
    }
}

}  // namespace
}  // namespace pellimor
