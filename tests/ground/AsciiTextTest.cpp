#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <string_view>

#include "ground/AsciiText.h"

namespace pellimor {
namespace {

using namespace std::string_view_literals;

// Only A to Z fold; bytes around them and every byte above 0x7F stay as they are, whatever
// the locale says (Latin-1's "Ä" is 0xC4, whose small letter is 0xE4).
TEST(AsciiText, LowersOnlyAsciiCapitalsInAnyLocale) {
    std::string every;
    for (int c = 0; c < 256; ++c) {
        every += static_cast<char>(c);
    }
    std::string expected = every;
    for (char c = 'A'; c <= 'Z'; ++c) {
        expected[static_cast<unsigned char>(c)] = static_cast<char>(c - 'A' + 'a');
    }
    for (const char* locale :
         {"C", "C.UTF-8", "de_DE.ISO-8859-1", "en_US.ISO-8859-1", "tr_TR.UTF-8"}) {
        const char* set = std::setlocale(LC_ALL, locale);
        EXPECT_EQ(LoweredAscii(every), expected) << locale << (set ? "" : " (not installed)");
        std::string inPlace = every;
        LowerAsciiInPlace(inPlace);
        EXPECT_EQ(inPlace, expected) << locale;
        EXPECT_FALSE(EqualIgnoringCase("\xC4", "\xE4")) << locale;
    }
    std::setlocale(LC_ALL, "C");
}

TEST(AsciiText, ComparesIgnoringAsciiCase) {
    struct Case {
        std::string_view a, b;
        bool equal, aStartsWithB;
    };
    const Case cases[] = {
        {"Content-Type", "content-type", true, true},
        {"HTTP://x", "http://", false, true},
        {"http:/", "http://", false, false},  // shorter than the prefix
        {"", "", true, true},
        {"abc", "", false, true},
        {"@[`{", "`{@[", false, false},  // neighbours of the letters do not fold
        {"\xC4", "\xE4", false, false},
        {"a\0b"sv, "A\0B"sv, true, true},  // bytes after a zero still count
        {"a\0b"sv, "A\0C"sv, false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EqualIgnoringCase(c.a, c.b), c.equal) << c.a << " / " << c.b;
        EXPECT_EQ(EqualIgnoringCase(c.b, c.a), c.equal) << c.b << " / " << c.a;
        EXPECT_EQ(StartsWithIgnoringCase(c.a, c.b), c.aStartsWithB) << c.a << " / " << c.b;
    }
}

TEST(AsciiText, TrimsBlanksAndLineEnds) {
    struct Case {
        std::string_view text, blanks, line;
    };
    const Case cases[] = {
        {" \t text/html \t ", "text/html", "text/html"},
        {"gzip\r", "gzip\r", "gzip"},
        {"gzip \r \t\r", "gzip \r \t\r", "gzip"},
        {"\rgzip", "\rgzip", "\rgzip"},  // a carriage return leads only where it belongs
        {"a b", "a b", "a b"},
        {" \t ", "", ""},
        {"", "", ""},
        {"\nx\n", "\nx\n", "\nx\n"},  // other white space is content
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TrimmedBlanks(c.text), c.blanks) << '"' << c.text << '"';
        EXPECT_EQ(TrimmedLine(c.text), c.line) << '"' << c.text << '"';
    }
}

}  // namespace
}  // namespace pellimor
