#include "cli/TerminalText.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace pellimor {

namespace {

using Range = std::pair<char32_t, char32_t>;

// East Asian Wide and Fullwidth (Unicode's EastAsianWidth.txt, W and F), in order.
constexpr Range kWide[] = {
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},
    {0x23F0, 0x23F0},   {0x23F3, 0x23F3},   {0x25FD, 0x25FE},   {0x2614, 0x2615},
    {0x2648, 0x2653},   {0x267F, 0x267F},   {0x2693, 0x2693},   {0x26A1, 0x26A1},
    {0x26AA, 0x26AB},   {0x26BD, 0x26BE},   {0x26C4, 0x26C5},   {0x26CE, 0x26CE},
    {0x26D4, 0x26D4},   {0x26EA, 0x26EA},   {0x26F2, 0x26F3},   {0x26F5, 0x26F5},
    {0x26FA, 0x26FA},   {0x26FD, 0x26FD},   {0x2705, 0x2705},   {0x270A, 0x270B},
    {0x2728, 0x2728},   {0x274C, 0x274C},   {0x274E, 0x274E},   {0x2753, 0x2755},
    {0x2757, 0x2757},   {0x2795, 0x2797},   {0x27B0, 0x27B0},   {0x27BF, 0x27BF},
    {0x2B1B, 0x2B1C},   {0x2B50, 0x2B50},   {0x2B55, 0x2B55},   {0x2E80, 0x303E},
    {0x3041, 0x33FF},   {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},
    {0xA960, 0xA97F},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},   {0xFE10, 0xFE19},
    {0xFE30, 0xFE6F},   {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},   {0x16FE0, 0x16FE4},
    {0x17000, 0x18CD5}, {0x1B000, 0x1B16F}, {0x1F004, 0x1F004}, {0x1F0CF, 0x1F0CF},
    {0x1F18E, 0x1F18E}, {0x1F191, 0x1F19A}, {0x1F200, 0x1F251}, {0x1F300, 0x1F64F},
    {0x1F680, 0x1F6FF}, {0x1F7E0, 0x1F7EB}, {0x1F90C, 0x1F9FF}, {0x1FA70, 0x1FAFF},
    {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
};

// Drawn on the cell before them: combining marks, zero-width spaces and joiners, variation
// selectors. In order.
constexpr Range kZeroWidth[] = {
    {0x0300, 0x036F}, {0x0483, 0x0489},   {0x0591, 0x05BD}, {0x05BF, 0x05BF}, {0x05C1, 0x05C2},
    {0x05C4, 0x05C5}, {0x05C7, 0x05C7},   {0x0610, 0x061A}, {0x064B, 0x065F}, {0x0670, 0x0670},
    {0x06D6, 0x06DC}, {0x06DF, 0x06E4},   {0x0E31, 0x0E31}, {0x0E34, 0x0E3A}, {0x0E47, 0x0E4E},
    {0x1160, 0x11FF}, {0x1AB0, 0x1AFF},   {0x1DC0, 0x1DFF}, {0x200B, 0x200F}, {0x2060, 0x2064},
    {0x20D0, 0x20FF}, {0x302A, 0x302D},   {0x3099, 0x309A}, {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F},
    {0xFEFF, 0xFEFF}, {0xE0100, 0xE01EF},
};

template <std::size_t N>
bool In(const Range (&ranges)[N], char32_t c) {
    const auto after = std::upper_bound(std::begin(ranges), std::end(ranges), c,
                                        [](char32_t v, const Range& r) { return v < r.first; });
    return after != std::begin(ranges) && c <= std::prev(after)->second;
}

}  // namespace

bool IsHiddenControl(char32_t c) {
    return (c >= 0x80 && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F ||
           (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

void AppendForTerminal(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    // Runs of printable ASCII, the common case, are appended whole.
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x20 && byte < 0x7F) {
            ++i;
            continue;
        }
        const std::size_t length = byte < 0x80 ? 0 : Utf8Length(text, i);
        if (length != 0) {
            const char32_t c = DecodedUtf8(text, i, length);
            if (!IsHiddenControl(c)) {
                i += length;
                continue;
            }
            out.append(text.substr(start, i - start));
            const char escaped[] = {'\\',
                                    'u',
                                    kHex[(c >> 12) & 0xF],
                                    kHex[(c >> 8) & 0xF],
                                    kHex[(c >> 4) & 0xF],
                                    kHex[c & 0xF]};
            out.append(escaped, sizeof escaped);
            i += length;
        } else {
            out.append(text.substr(start, i - start));
            const char escaped[] = {'\\', 'x', kHex[byte >> 4], kHex[byte & 0xF]};
            out.append(escaped, sizeof escaped);
            ++i;
        }
        start = i;
    }
    out.append(text.substr(start));
}

std::string ForTerminal(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    AppendForTerminal(out, text);
    return out;
}

std::size_t Utf8Length(std::string_view text, std::size_t at) {
    const auto c = static_cast<unsigned char>(text[at]);
    const std::size_t length = c < 0x80                 ? 1
                               : c >= 0xC2 && c <= 0xDF ? 2
                               : (c >> 4) == 14         ? 3
                               : c >= 0xF0 && c <= 0xF4 ? 4
                                                        : 0;
    if (length == 0 || at + length > text.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((static_cast<unsigned char>(text[at + k]) & 0xC0) != 0x80) {
            return 0;
        }
    }
    // Overlong forms, surrogates and values beyond U+10FFFF are no characters.
    const auto second = length > 1 ? static_cast<unsigned char>(text[at + 1]) : 0;
    if ((c == 0xE0 && second < 0xA0) || (c == 0xED && second >= 0xA0) ||
        (c == 0xF0 && second < 0x90) || (c == 0xF4 && second >= 0x90)) {
        return 0;
    }
    return length;
}

char32_t DecodedUtf8(std::string_view text, std::size_t at, std::size_t length) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[at + k]); };
    static constexpr unsigned char kLeadBits[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    char32_t c = byte(0) & kLeadBits[length];
    for (std::size_t k = 1; k < length; ++k) {
        c = (c << 6) | (byte(k) & 0x3F);
    }
    return c;
}

std::size_t DisplayWidth(std::string_view text) {
    std::size_t width = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Utf8Length(text, i);
        if (length == 0) {
            ++width;  // the terminal's replacement mark
            ++i;
            continue;
        }
        const char32_t c = DecodedUtf8(text, i, length);
        width += In(kZeroWidth, c) ? 0 : In(kWide, c) ? 2 : 1;
        i += length;
    }
    return width;
}

std::string PaddedTo(std::string_view text, std::size_t width) {
    std::string out(text);
    const std::size_t shown = DisplayWidth(text);
    if (shown < width) {
        out.append(width - shown, ' ');
    }
    return out;
}

std::string ErrorLines(std::string_view text) {
    std::string out;
    for (std::size_t start = 0; start <= text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        out += "pellimor-cli: ";
        out.append(text, start, end - start);
        out += '\n';
        if (end + 1 >= text.size()) {
            break;
        }
        start = end + 1;
    }
    return out;
}

}  // namespace pellimor
