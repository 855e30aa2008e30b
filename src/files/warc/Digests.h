// SHA-1 and SHA-256 (FIPS 180-4), fed in pieces, and the texts web archives write them as:
// WARC's digests are "sha1:" and the digest in base32 (RFC 4648, upper case, padded), WACZ's
// package lists "sha256:" and lower-case hex.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace pellimor {

class Sha1 {
  public:
    Sha1();
    void Update(std::string_view bytes);
    // The digest; the object is spent afterwards.
    std::array<std::uint8_t, 20> Finish();

  private:
    void Block(const std::uint8_t* block);
    std::array<std::uint32_t, 5> h_;
    std::array<std::uint8_t, 64> pending_{};
    std::size_t pendingSize_ = 0;
    std::uint64_t length_ = 0;
};

class Sha256 {
  public:
    Sha256();
    void Update(std::string_view bytes);
    std::array<std::uint8_t, 32> Finish();

  private:
    void Block(const std::uint8_t* block);
    std::array<std::uint32_t, 8> h_;
    std::array<std::uint8_t, 64> pending_{};
    std::size_t pendingSize_ = 0;
    std::uint64_t length_ = 0;
};

std::string Base32(std::string_view bytes);
std::string LowerHex(std::string_view bytes);

// "sha1:" and the base32 of the SHA-1 of bytes.
std::string WarcSha1(std::string_view bytes);
// "sha256:" and the hex of a finished SHA-256.
std::string Sha256Text(const std::array<std::uint8_t, 32>& digest);

template <std::size_t N>
std::string_view DigestBytes(const std::array<std::uint8_t, N>& digest) {
    return {reinterpret_cast<const char*>(digest.data()), N};
}

}  // namespace pellimor
