#include <gtest/gtest.h>

#include "app/CommandLine.h"
#include "platform/urlcache/CodePage.h"

namespace pellimor {
namespace {

TEST(CodePage, OnlyCodePagesThatKeepAsciiAreAccepted) {
    const struct {
        int codePage;
        bool accepted;
    } cases[] = {
        {1250, true}, {1251, true},  {1252, true},   {1253, true}, {1254, true},  {1255, true},
        {1256, true}, {1257, true},  {1258, true},   {437, true},  {850, true},   {932, true},
        {936, true},  {65001, true}, {500, false},   {875, false}, {1026, false}, {1140, false},
        {37, false},  {1200, false}, {99999, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CodePageKeepsAscii(c.codePage), c.accepted) << c.codePage;
        const ProgramOptions options =
            ReadProgramOptions({"--codepage", std::to_string(c.codePage)});
        EXPECT_EQ(options.error.empty(), c.accepted) << c.codePage << ": " << options.error;
    }
}

TEST(CodePage, DecodesTheWholeTextAlsoWhereMarksMayCombine) {
    const struct {
        const char* bytes;
        int codePage;
        const char* utf8;
    } cases[] = {
        {"caf\xe9.swf", 1252, "caf\xc3\xa9.swf"},
        {"\xf9\xec\xe5\xed", 1255, "\xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d"},  // the last letter kept
        {"ph\xf4", 1258, "ph\xc3\xb4"},
        {"b\xfcro.swf", 1254, "b\xc3\xbcro.swf"},
        {"caf\xc3\xa9.swf", 65001, "caf\xc3\xa9.swf"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DecodeCodePage(c.bytes, c.codePage), std::optional<std::string>(c.utf8))
            << c.bytes << " in " << c.codePage;
    }
}

// Texts are judged eight bytes at a time while they are ASCII: a byte from 0x80 up is found
// at every place in and around a word, and the text is judged whole after it.
TEST(CodePage, FindsTheFirstByteAboveAsciiWhereverItLies) {
    for (std::size_t length = 0; length <= 20; ++length) {
        const std::string ascii(length, 'a');
        EXPECT_TRUE(IsAscii(ascii)) << length;
        EXPECT_TRUE(IsValidUtf8(ascii)) << length;
        for (std::size_t at = 0; at < length; ++at) {
            std::string text = ascii;
            text[at] = '\xe9';  // no UTF-8 on its own
            EXPECT_FALSE(IsAscii(text)) << length << " at " << at;
            EXPECT_FALSE(IsValidUtf8(text)) << length << " at " << at;
            text.replace(at, 1, "\xc3\xa9");
            EXPECT_FALSE(IsAscii(text)) << length << " at " << at;
            EXPECT_TRUE(IsValidUtf8(text)) << length << " at " << at;
        }
    }
}

}  // namespace
}  // namespace pellimor
