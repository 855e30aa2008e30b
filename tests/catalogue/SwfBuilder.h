// Hand-made movies for the reader's tests: tags, action records and ABC files byte by byte,
// so that each test says exactly what is wrong with its movie.
#pragma once

#include <cstdint>
#include <string>

#include "support/Compressed.h"

namespace pellimor::test {

inline std::string Le16(std::uint32_t v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
}
inline std::string Le32(std::uint32_t v) {
    return Le16(v & 0xFFFF) + Le16(v >> 16);
}

// A tag with the long length form whenever asked or needed; length overrides the real one.
inline std::string SwfTag(int code, const std::string& body, bool longForm = false,
                          std::int64_t length = -1) {
    const auto n = static_cast<std::uint32_t>(length < 0 ? body.size() : length);
    if (!longForm && n < 63) {
        return Le16(static_cast<std::uint32_t>(code << 6) | n) + body;
    }
    return Le16(static_cast<std::uint32_t>(code << 6) | 0x3F) + Le32(n) + body;
}

inline std::string Z(const std::string& text) {
    return text + '\0';
}

// An action record with data.
inline std::string Action(int code, const std::string& data) {
    return static_cast<char>(code) + Le16(static_cast<std::uint32_t>(data.size())) + data;
}
inline std::string PushStrings(std::initializer_list<std::string> texts) {
    std::string data;
    for (const std::string& t : texts) {
        data += '\0' + Z(t);
    }
    return Action(0x96, data);
}
inline std::string ConstantPool(std::initializer_list<std::string> texts) {
    std::string data = Le16(static_cast<std::uint32_t>(texts.size()));
    for (const std::string& t : texts) {
        data += Z(t);
    }
    return Action(0x88, data);
}

inline std::string U30(std::uint32_t v) {
    std::string out;
    do {
        const auto low = static_cast<char>(v & 0x7F);
        v >>= 7;
        out += static_cast<char>(low | (v != 0 ? 0x80 : 0));
    } while (v != 0);
    return out;
}

// An abcFile up to its string pool: no integers, no doubles, these strings.
inline std::string AbcWithStrings(std::initializer_list<std::string> texts) {
    std::string abc = Le16(16) + Le16(46) + U30(0) + U30(0) + U30(0);
    abc += U30(static_cast<std::uint32_t>(texts.size() + 1));
    for (const std::string& t : texts) {
        abc += U30(static_cast<std::uint32_t>(t.size())) + t;
    }
    return abc + std::string(8, '\0');  // the rest of the file, not read
}

// A movie of 550 x 400 pixels at 24 frames a second, 1 frame, holding tags (then End): the
// stage's RECT has 15-bit fields, 0, 11000, 0, 8000 twips.
inline std::string SwfBody(const std::string& tags) {
    return std::string("\x78\x00\x05\x5F\x00\x00\x0F\xA0\x00", 9) + Le16(24 << 8) + Le16(1) + tags +
           SwfTag(0, "");
}

inline std::string Fws(const std::string& tags, int version = 10) {
    const std::string body = SwfBody(tags);
    return "FWS" + std::string(1, static_cast<char>(version)) +
           Le32(static_cast<std::uint32_t>(8 + body.size())) + body;
}

inline std::string Deflated(const std::string& bytes) {
    return Compressed(bytes, 15);
}

// The same movie zlib-compressed; declared overrides the length in the header.
inline std::string Cws(const std::string& fws, std::int64_t declared = -1) {
    const std::string length =
        declared < 0 ? fws.substr(4, 4) : Le32(static_cast<std::uint32_t>(declared));
    return "CWS" + fws.substr(3, 1) + length + Deflated(fws.substr(8));
}

}  // namespace pellimor::test
