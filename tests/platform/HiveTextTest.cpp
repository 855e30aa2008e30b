// The hive's text as the registry editor reads it: odd lines neither hide the values
// around them nor get lost. That any name and text stored reads back as it was is
// fuzz_hive_roundtrip's to show.
#include <gtest/gtest.h>

#include "files/SettingsStore.h"
#include "platform/registry/HiveRegistry.h"
#include "support/TempFolder.h"

namespace pellimor {
namespace {

const std::string kCompanionSection = "[HKEY_CURRENT_USER\\Software\\Tavrik\\Marrowby]";
const std::string kOwnSection = "[HKEY_CURRENT_USER\\Software\\Tavrik\\Pellimor]";

class HiveTextTest : public ::testing::Test {
  protected:
    test::TempFolder temp;
    std::string path = temp / "Tavrik/hkcu.reg";
    void SetUp() override { test::MakeFolders(temp / "Tavrik"); }
};

// Lines joined with CR LF, as the registry editor writes them.
std::string Crlf(std::initializer_list<std::string> lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\r\n";
    }
    return text;
}

TEST_F(HiveTextTest, OddLinesKeepTheValuesAroundThemAndAreKeptAsWritten) {
    const std::string header = "Windows Registry Editor Version 5.00";
    const std::string own = kOwnSection + "\r\n\"SavePath\"=\"/o\"\r\n";
    const struct {
        const char* what;
        std::string text;
        std::string companion;  // the companion's folder as read; "" when it counts as absent
    } cases[] = {
        {"the value deleted after it",
         Crlf({header, "", kCompanionSection, "\"SavePath\"=\"/c\"", "\"SavePath\" = -"}) + own,
         ""},
        {"a key above it deleted after it, then made again",
         Crlf({header, kCompanionSection, "\"SavePath\"=\"/c\"",
               "[-HKEY_CURRENT_USER\\Software\\Tavrik]", kCompanionSection, "\"Other\"=\"x\""}) +
             own,
         ""},
        {"its key deleted after it",
         Crlf({header, kCompanionSection, "\"SavePath\"=\"/c\"",
               "[-HKEY_CURRENT_USER\\Software\\Tavrik\\Marrowby]", "\"SavePath\"=\"/ignored\""}) +
             own,
         ""},
        {"line feeds only, blank lines and comments",
         header + "\n\n; settings\n\n" + kCompanionSection + "\n\n\"SavePath\"=\"/c\"\n\n" +
             kOwnSection + "\n\"SavePath\"=\"/o\"\n",
         "/c"},
        {"carriage returns only",
         header + "\r" + kCompanionSection + "\r\"SavePath\"=\"/c\"\r" + kOwnSection +
             "\r\"SavePath\"=\"/o\"\r",
         "/c"},
        {"hex data over lines with a blank and a comment between",
         Crlf({header, kCompanionSection, "\"Blob\"=hex:01,02,\\", "", "  ; more", "  03,04",
               "\"SavePath\"=\"/c\""}) +
             own,
         "/c"},
        {"lines that are no registry text at all",
         Crlf({header, kCompanionSection, "this is not registry text", "\"Broken\"=\"no end",
               "\"Num\"=dword:xyz", "\"SavePath\"=\"/c\"", "=\"nameless\"", "[ spaced]"}) +
             own,
         "/c"},
        {"a byte order mark and the old header",
         "\xEF\xBB\xBFREGEDIT4\r\n" + kCompanionSection + " ; old\r\n\"SavePath\"=\"/c\"\r\n" + own,
         "/c"},
        {"no line end after the last line, line feeds only",
         header + "\n" + kCompanionSection + "\n\"SavePath\"=\"/c\"\n" + kOwnSection +
             "\n\"SavePath\"=\"/o\"",
         "/c"},
    };
    for (const auto& c : cases) {
        test::WriteFile(path, c.text);
        HiveRegistry registry(path);
        std::string companion;
        RegReadString(registry, kCompanionKey, kSavePathValue, companion);
        EXPECT_EQ(companion, c.companion) << c.what;
        EXPECT_EQ(GetSavePath(registry, "/default"), c.companion.empty() ? "/o" : c.companion)
            << c.what;
        // A change adds its one line; every other byte stays as it was.
        EXPECT_EQ(registry.SetValue(kOwnKey, "Added", {kRegSz, "new"}), kStatusSuccess) << c.what;
        std::string after = test::ReadFile(path);
        const auto added = after.find("\"Added\"=\"new\"");
        if (added == std::string::npos) {
            ADD_FAILURE() << c.what << ": the added line is missing\n" << after;
            continue;
        }
        const auto end = after.find_first_of("\r\n", added);
        after.erase(added, end - added + (after.compare(end, 2, "\r\n") == 0 ? 2 : 1));
        if (c.text.back() != '\n' && c.text.back() != '\r') {
            after.erase(after.find_last_not_of("\r\n") + 1);  // the last line got its line end
        }
        EXPECT_EQ(after, c.text) << c.what;
    }
}

// Only the changed value's text changes; hex data continued over lines reads whole.
TEST_F(HiveTextTest, AChangedValueKeepsItsIndentationNameAndComment) {
    test::WriteFile(path, Crlf({"Windows Registry Editor Version 5.00", kCompanionSection,
                                "\"Blob\"=hex:01,02,\\", "  03,04",
                                "  \"savepath\" = \"/c\" ; chosen in Marrowby"}));
    HiveRegistry registry(path);
    const std::string folder = "/new\\odd \"one\"\nline";
    ASSERT_EQ(SetSavePath(registry, folder).status, kStatusSuccess);
    EXPECT_EQ(test::ReadFile(path),
              Crlf({"Windows Registry Editor Version 5.00", kCompanionSection,
                    "\"Blob\"=hex:01,02,\\", "  03,04",
                    "  \"savepath\" = \"/new\\\\odd \\\"one\\\"\\nline\" ; chosen in Marrowby"}));
    HiveRegistry again(path);
    EXPECT_EQ(GetSavePath(again, "/default"), folder);
    RegistryValue blob;
    ASSERT_EQ(registry.QueryValue(kCompanionKey, "Blob", blob), kStatusSuccess);
    EXPECT_EQ(blob.data, "\x01\x02\x03\x04");
}

TEST_F(HiveTextTest, ValuesAddedAfterDanglingHexDataAreNotTakenAsItsContinuation) {
    // The editor would read the next line as more hex data and drop both.
    const std::string text =
        Crlf({"Windows Registry Editor Version 5.00", kOwnSection, "\"B\"=hex(2):41,00,\\"});
    test::WriteFile(path, text);
    HiveRegistry registry(path);
    RegistryValue value;
    ASSERT_EQ(registry.QueryValue(kOwnKey, "B", value), kStatusSuccess);
    EXPECT_EQ(value.data, std::string("A\0", 2));
    ASSERT_EQ(SetSavePath(registry, "/x").status, kStatusSuccess);
    EXPECT_EQ(test::ReadFile(path), Crlf({"Windows Registry Editor Version 5.00", kOwnSection,
                                          "\"B\"=hex(2):41,00,", "\"SavePath\"=\"/x\""}));
    ASSERT_EQ(registry.QueryValue(kOwnKey, "B", value), kStatusSuccess);
    EXPECT_EQ(value.data, std::string("A\0", 2));
}

TEST_F(HiveTextTest, HugeCountsOfLinesNeitherFloodMemoryNorHideValues) {
    // A million blank and comment lines are one run of lines that say nothing.
    std::string text = Crlf({"Windows Registry Editor Version 5.00", kCompanionSection});
    for (int i = 0; i < 500000; ++i) {
        text += "\r\n; filler\r\n";
    }
    text += "\"SavePath\"=\"/c\"\r\n";
    test::WriteFile(path, text);
    HiveRegistry registry(path);
    EXPECT_EQ(GetSavePath(registry, "/default"), "/c");
    ASSERT_EQ(SetSavePath(registry, "/new").status, kStatusSuccess) << registry.LastProblem();
    std::string expected = text;
    expected.replace(expected.rfind("/c"), 2, "/new");
    EXPECT_EQ(test::ReadFile(path), expected);
    // More keys and values than any settings file has: refused as a whole, left alone.
    text = Crlf({"Windows Registry Editor Version 5.00", kOwnSection});
    for (int i = 0; i < 150000; ++i) {
        text += "\"v" + std::to_string(i) + "\"=\"x\"\r\n";
    }
    test::WriteFile(path, text);
    RegistryValue value;
    EXPECT_EQ(registry.QueryValue(kOwnKey, "v1", value), kStatusInvalidData);
    EXPECT_NE(registry.LastProblem().find("far fewer"), std::string::npos)
        << registry.LastProblem();
    EXPECT_EQ(registry.SetValue(kOwnKey, "v1", {kRegSz, "y"}), kStatusInvalidData);
    EXPECT_EQ(test::ReadFile(path), text);
}

}  // namespace
}  // namespace pellimor
