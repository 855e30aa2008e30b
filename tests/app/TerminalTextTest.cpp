// The cells the terminal draws for a stranger's text, and the marking of error lines.
#include <gtest/gtest.h>

#include "cli/TerminalText.h"

namespace pellimor {
namespace {

TEST(TerminalTextTest, DisplayWidthCountsCellsNotBytes) {
    const struct {
        const char* what;
        std::string text;
        std::size_t cells;
    } cases[] = {
        {"ASCII", "rocket", 6},
        {"empty", "", 0},
        {"Turkish, two bytes a letter", "\xC3\xA7\x61l\xC4\xB1\xC5\x9F", 5},  // "çalış"
        {"Japanese katakana", "\xE3\x83\xAD\xE3\x82\xB1", 4},                 // "ロケ"
        {"a CJK ideograph", "\xE7\x8C\xAB", 2},                               // "猫"
        {"Hangul", "\xEA\xB0\x80", 2},                                        // "가"
        {"full-width A", "\xEF\xBC\xA1", 2},
        {"half-width katakana", "\xEF\xBD\xB1", 1},
        {"an ideograph beyond the first plane", "\xF0\xA0\x80\x80", 2},
        {"an emoji", "\xF0\x9F\x98\x80", 2},
        {"a combining accent", "e\xCC\x81", 1},
        {"a zero-width space",
         "a\xE2\x80\x8B"
         "b",
         2},
        {"the byte 0xFF", "\xFF", 1},
        {"a lead byte at the end", "a\xE3", 2},
        {"a sequence cut short",
         "\xE3\x83"
         "a",
         3},
        {"a lone continuation byte", "\x80", 1},
        {"Greek, one cell each", "\xCE\xB1\xCE\xB2", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(DisplayWidth(c.text), c.cells);
    }
}

TEST(TerminalTextTest, PaddingFillsUpToTheCells) {
    EXPECT_EQ(PaddedTo("\xE7\x8C\xAB", 5), "\xE7\x8C\xAB   ");
    EXPECT_EQ(PaddedTo("\xC3\xA7", 3), "\xC3\xA7  ");
    EXPECT_EQ(PaddedTo("longer", 3), "longer");
}

TEST(TerminalTextTest, EveryErrorLineIsMarked) {
    const struct {
        std::string text;
        std::string lines;
    } cases[] = {
        {"one", "pellimor-cli: one\n"},
        {"one\n", "pellimor-cli: one\n"},
        {"one\ntwo", "pellimor-cli: one\npellimor-cli: two\n"},
        {"one\n\ntwo\n", "pellimor-cli: one\npellimor-cli: \npellimor-cli: two\n"},
        {"", "pellimor-cli: \n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ErrorLines(c.text), c.lines);
    }
}

}  // namespace
}  // namespace pellimor
