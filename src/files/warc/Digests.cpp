#include "files/warc/Digests.h"

#include <algorithm>
#include <cstring>

namespace pellimor {

namespace {

std::uint32_t Rotl(std::uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}
std::uint32_t Rotr(std::uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}

std::uint32_t BigEndian32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           p[3];
}

// Feeds bytes through 64-byte blocks, keeping what does not fill one.
template <typename Hash>
void Feed(Hash& hash, std::array<std::uint8_t, 64>& pending, std::size_t& pendingSize,
          std::uint64_t& length, std::string_view bytes) {
    length += bytes.size();
    auto data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    std::size_t left = bytes.size();
    if (pendingSize > 0) {
        const std::size_t take = std::min(left, 64 - pendingSize);
        std::memcpy(pending.data() + pendingSize, data, take);
        pendingSize += take;
        data += take;
        left -= take;
        if (pendingSize < 64) {
            return;
        }
        hash(pending.data());
        pendingSize = 0;
    }
    for (; left >= 64; left -= 64, data += 64) {
        hash(data);
    }
    std::memcpy(pending.data(), data, left);
    pendingSize = left;
}

// The padding both hashes end with: 0x80, zeros, and the length in bits, big-endian.
std::string Padding(std::size_t pendingSize, std::uint64_t length) {
    std::string pad(1, '\x80');
    pad.append((pendingSize + 1 <= 56 ? 56 : 120) - pendingSize - 1, '\0');
    const std::uint64_t bits = length * 8;
    for (int shift = 56; shift >= 0; shift -= 8) {
        pad += static_cast<char>((bits >> shift) & 0xFF);
    }
    return pad;
}

}  // namespace

Sha1::Sha1() : h_{0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0} {}

void Sha1::Block(const std::uint8_t* block) {
    std::uint32_t w[80];
    for (int i = 0; i < 16; ++i) {
        w[i] = BigEndian32(block + 4 * i);
    }
    for (int i = 16; i < 80; ++i) {
        w[i] = Rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
    }
    std::uint32_t a = h_[0], b = h_[1], c = h_[2], d = h_[3], e = h_[4];
    for (int i = 0; i < 80; ++i) {
        std::uint32_t f = 0;
        std::uint32_t k = 0;
        if (i < 20) {
            f = (b & c) | (~b & d);
            k = 0x5A827999;
        } else if (i < 40) {
            f = b ^ c ^ d;
            k = 0x6ED9EBA1;
        } else if (i < 60) {
            f = (b & c) | (b & d) | (c & d);
            k = 0x8F1BBCDC;
        } else {
            f = b ^ c ^ d;
            k = 0xCA62C1D6;
        }
        const std::uint32_t t = Rotl(a, 5) + f + e + k + w[i];
        e = d;
        d = c;
        c = Rotl(b, 30);
        b = a;
        a = t;
    }
    h_[0] += a;
    h_[1] += b;
    h_[2] += c;
    h_[3] += d;
    h_[4] += e;
}

void Sha1::Update(std::string_view bytes) {
    auto block = [this](const std::uint8_t* p) { Block(p); };
    Feed(block, pending_, pendingSize_, length_, bytes);
}

std::array<std::uint8_t, 20> Sha1::Finish() {
    const std::uint64_t length = length_;
    Update(Padding(pendingSize_, length));
    std::array<std::uint8_t, 20> out{};
    for (int i = 0; i < 20; ++i) {
        out[i] = static_cast<std::uint8_t>(h_[i / 4] >> (24 - 8 * (i % 4)));
    }
    return out;
}

namespace {

constexpr std::uint32_t kSha256K[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

}  // namespace

Sha256::Sha256()
    : h_{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
         0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19} {}

void Sha256::Block(const std::uint8_t* block) {
    std::uint32_t w[64];
    for (int i = 0; i < 16; ++i) {
        w[i] = BigEndian32(block + 4 * i);
    }
    for (int i = 16; i < 64; ++i) {
        const std::uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
        const std::uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    std::uint32_t a = h_[0], b = h_[1], c = h_[2], d = h_[3];
    std::uint32_t e = h_[4], f = h_[5], g = h_[6], h = h_[7];
    for (int i = 0; i < 64; ++i) {
        const std::uint32_t s1 = Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25);
        const std::uint32_t ch = (e & f) ^ (~e & g);
        const std::uint32_t t1 = h + s1 + ch + kSha256K[i] + w[i];
        const std::uint32_t s0 = Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22);
        const std::uint32_t maj = (a & b) ^ (a & c) ^ (b & c);
        const std::uint32_t t2 = s0 + maj;
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    h_[0] += a;
    h_[1] += b;
    h_[2] += c;
    h_[3] += d;
    h_[4] += e;
    h_[5] += f;
    h_[6] += g;
    h_[7] += h;
}

void Sha256::Update(std::string_view bytes) {
    auto block = [this](const std::uint8_t* p) { Block(p); };
    Feed(block, pending_, pendingSize_, length_, bytes);
}

std::array<std::uint8_t, 32> Sha256::Finish() {
    const std::uint64_t length = length_;
    Update(Padding(pendingSize_, length));
    std::array<std::uint8_t, 32> out{};
    for (int i = 0; i < 32; ++i) {
        out[i] = static_cast<std::uint8_t>(h_[i / 4] >> (24 - 8 * (i % 4)));
    }
    return out;
}

std::string Base32(std::string_view bytes) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ234567";
    std::string out;
    std::uint32_t buffer = 0;
    int bits = 0;
    for (const char c : bytes) {
        buffer = (buffer << 8) | static_cast<unsigned char>(c);
        bits += 8;
        while (bits >= 5) {
            out += kAlphabet[(buffer >> (bits - 5)) & 0x1F];
            bits -= 5;
        }
    }
    if (bits > 0) {
        out += kAlphabet[(buffer << (5 - bits)) & 0x1F];
    }
    while (out.size() % 8 != 0) {
        out += '=';
    }
    return out;
}

std::string LowerHex(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out += kHex[b >> 4];
        out += kHex[b & 0x0F];
    }
    return out;
}

std::string WarcSha1(std::string_view bytes) {
    Sha1 hash;
    hash.Update(bytes);
    return "sha1:" + Base32(DigestBytes(hash.Finish()));
}

std::string Sha256Text(const std::array<std::uint8_t, 32>& digest) {
    return "sha256:" + LowerHex(DigestBytes(digest));
}

}  // namespace pellimor
