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
        {"Hangul", "\xEA\xB0\x80", 2},  // "가"
        {"full-width A", "\xEF\xBC\xA1", 2},
        {"half-width katakana", "\xEF\xBD\xB1", 1},
        {"an ideograph beyond the first plane", "\xF0\xA0\x80\x80", 2},
        {"an emoji", "\xF0\x9F\x98\x80", 2},
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
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(DisplayWidth(c.text), c.cells);
    }
}

// What a terminal would act on, or would draw in another order than the bytes come, is shown
// as an escape; everything else as it is. (Escapes and widths in a real listing, with names
// in Turkish and Japanese: CliColumnsTest.)
TEST(TerminalTextTest, ForTerminalEscapesWhatATerminalWouldActOn) {
    const struct {
        const char* what;
        std::string text;
        std::string shown;
    } cases[] = {
        {"line break", "a\nb", "a\\x0Ab"},
        {"DEL", "\x7F", "\\x7F"},
        {"U+0080 and U+009F, the first and last C1 controls", "\xC2\x80\xC2\x9F", "\\u0080\\u009F"},
        {"U+00A0 is no control", "\xC2\xA0", "\xC2\xA0"},
        {"U+061C arabic letter mark", "\xD8\x9C", "\\u061C"},
        {"U+200E and U+200F, the direction marks", "\xE2\x80\x8E\xE2\x80\x8F", "\\u200E\\u200F"},
        {"U+202A to U+202D, the embeddings and overrides",
         "\xE2\x80\xAA\xE2\x80\xAB\xE2\x80\xAC\xE2\x80\xAD", "\\u202A\\u202B\\u202C\\u202D"},
        {"U+2066 to U+2069, the isolates", "\xE2\x81\xA6\xE2\x81\xA7\xE2\x81\xA8\xE2\x81\xA9",
         "\\u2066\\u2067\\u2068\\u2069"},
        {"U+2029 and U+2065 stay", "\xE2\x80\xA9\xE2\x81\xA5", "\xE2\x80\xA9\xE2\x81\xA5"},
        {"Turkish, Japanese and an emoji stay", "\xC3\xA7\xE3\x83\xAD\xF0\x9F\x98\x80",
         "\xC3\xA7\xE3\x83\xAD\xF0\x9F\x98\x80"},
        {"a lone C1 byte",
         "\x9B"
         "2J",
         "\\x9B2J"},
        {"a lead byte at the end", "a\xE2", "a\\xE2"},
        {"a sequence cut short",
         "\xE2\x80"
         "x",
         "\\xE2\\x80x"},
        {"an overlong escape (C0 9B)", "\xC0\x9B", "\\xC0\\x9B"},
        {"an overlong slash (E0 80 AF)", "\xE0\x80\xAF", "\\xE0\\x80\\xAF"},
        {"a surrogate (ED A0 80)", "\xED\xA0\x80", "\\xED\\xA0\\x80"},
        {"beyond U+10FFFF (F4 90 80 80)", "\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},
        {"U+10FFFF stays", "\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ForTerminal(c.text), c.shown);
    }
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
