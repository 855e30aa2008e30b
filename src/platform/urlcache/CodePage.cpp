#include "platform/urlcache/CodePage.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

namespace pellimor {

namespace {

// Code page 65001, UTF-8, is handled before iconv is asked.
std::string IconvName(int codePage) {
    return "CP" + std::to_string(codePage);
}

std::optional<std::string> Convert(std::string_view text, const std::string& to,
                                   const std::string& from) {
    iconv_t cd = ::iconv_open(to.c_str(), from.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return std::nullopt;
    }
    std::vector<char> in(text.begin(), text.end());
    std::vector<char> out(text.size() * 4 + 16);
    char* inPtr = in.data();
    std::size_t inLeft = in.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    std::size_t result = ::iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    // Code pages with combining marks (1255, 1258) hold the last character back until
    // they know nothing combines with it: flush it out.
    if (result != static_cast<std::size_t>(-1)) {
        result = ::iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    }
    ::iconv_close(cd);
    if (result == static_cast<std::size_t>(-1) || inLeft != 0) {
        return std::nullopt;
    }
    return std::string(out.data(), out.size() - outLeft);
}

}  // namespace

namespace {

// How many bytes text begins with that are ASCII, eight at a time: addresses and names
// nearly always are, and every record's texts are tested.
std::size_t AsciiPrefix(std::string_view text) {
    constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, text.data() + i, 8);
        if ((word & kHighBits) != 0) {
            break;
        }
    }
    while (i < text.size() && static_cast<unsigned char>(text[i]) < 0x80) {
        ++i;
    }
    return i;
}

}  // namespace

bool IsAscii(std::string_view text) {
    return AsciiPrefix(text) == text.size();
}

bool IsValidUtf8(std::string_view text) {
    std::size_t i = AsciiPrefix(text);
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t length = c < 0x80         ? 1
                             : (c >> 5) == 6  ? 2
                             : (c >> 4) == 14 ? 3
                             : (c >> 3) == 30 ? 4
                                              : 0;
        if (length == 0 || i + length > text.size() || (length == 2 && c < 0xC2)) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

std::optional<std::string> DecodeCodePage(std::string_view text, int codePage) {
    if (IsAscii(text)) {
        return std::string(text);
    }
    if (codePage == 65001) {
        return IsValidUtf8(text) ? std::optional<std::string>(std::string(text)) : std::nullopt;
    }
    return Convert(text, "UTF-8", IconvName(codePage));
}

bool CodePageKeepsAscii(int codePage) {
    if (codePage == 65001) {
        return true;
    }
    for (int byte = 0x01; byte <= 0xFF; ++byte) {
        const char c = static_cast<char>(byte);
        const auto decoded = Convert(std::string_view(&c, 1), "UTF-8", IconvName(codePage));
        if (byte < 0x80 ? decoded != std::string(1, c) : decoded && IsAscii(*decoded)) {
            return false;  // also an unknown code page, which decodes nothing
        }
    }
    return true;
}

std::optional<std::string> EncodeCodePage(std::string_view utf8, int codePage) {
    if (IsAscii(utf8)) {
        return std::string(utf8);
    }
    if (codePage == 65001) {
        return std::string(utf8);
    }
    return Convert(utf8, IconvName(codePage), "UTF-8");
}

}  // namespace pellimor
