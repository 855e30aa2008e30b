#include <gtest/gtest.h>

#include "files/SettingsStore.h"
#include "platform/registry/HiveRegistry.h"
#include "support/TempFolder.h"

namespace pellimor {
namespace {

class SettingsStoreTest : public ::testing::Test {
  protected:
    test::TempFolder temp;
    std::string hivePath = temp / "Tavrik/hkcu.reg";
    HiveRegistry registry{hivePath};

    void Hive(const std::string& body) {
        test::MakeFolders(temp / "Tavrik");
        test::WriteFile(hivePath, "Windows Registry Editor Version 5.00\r\n\r\n" + body);
    }
};

// Reading creates nothing; storing without any key creates the program's own.
TEST_F(SettingsStoreTest, NothingStoredGivesTheDefaultAndCreatesNothing) {
    EXPECT_EQ(GetSavePath(registry, "/home/u"), "/home/u");
    EXPECT_FALSE(test::FileExists(hivePath));
    SetSavePath(registry, "/movies");
    std::string value;
    EXPECT_EQ(RegReadString(registry, kOwnKey, kSavePathValue, value), kStatusSuccess);
    EXPECT_EQ(value, "/movies");
    EXPECT_FALSE(RegKeyExists(registry, kCompanionKey));
}

TEST_F(SettingsStoreTest, ReadOrderAndWriteChoice) {
    const std::string companion = "[HKEY_CURRENT_USER\\Software\\Tavrik\\Marrowby]\r\n";
    const std::string own = "[HKEY_CURRENT_USER\\Software\\Tavrik\\Pellimor]\r\n";
    const struct {
        std::string hive;
        std::string read;
        bool writesCompanion;
    } cases[] = {
        {companion + "\"SavePath\"=\"/c\"\r\n" + own + "\"SavePath\"=\"/o\"\r\n", "/c", true},
        {companion + "\"SavePath\"=\"\"\r\n" + own + "\"SavePath\"=\"/o\"\r\n", "/o", false},
        {companion + "\"SavePath\"=hex(2):2f,00,63,00,00,00\r\n" + own + "\"SavePath\"=\"/o\"\r\n",
         "/o", false},
        {companion + "\"SavePath\"=\"" + std::string(1024, 'x') + "\"\r\n", "/default", false},
        {companion + "\"SavePath\"=\"" + std::string(1023, 'x') + "\"\r\n", std::string(1023, 'x'),
         true},
        {own + "\"savepath\"=\"/o\"\r\n", "/o", false},
        {"", "/default", false},
    };
    for (const auto& c : cases) {
        Hive(c.hive);
        EXPECT_EQ(GetSavePath(registry, "/default"), c.read) << c.hive;
        EXPECT_TRUE(SetSavePath(registry, "/new").ok()) << c.hive;
        std::string companionValue, ownValue;
        RegReadString(registry, kCompanionKey, kSavePathValue, companionValue);
        RegReadString(registry, kOwnKey, kSavePathValue, ownValue);
        EXPECT_EQ(c.writesCompanion ? companionValue : ownValue, "/new") << c.hive;
        EXPECT_EQ(GetSavePath(registry, "/default"), "/new") << c.hive;
    }
}

TEST_F(SettingsStoreTest, SetSavePathSaysWhyAFolderWasNotStored) {
    const std::string companion =
        "[HKEY_CURRENT_USER\\Software\\Tavrik\\Marrowby]\r\n\"SavePath\"=\"/c\"\r\n";
    const struct {
        const char* what;
        std::string folder;
        long status;
        const char* reason;
    } cases[] = {
        {"too long to read back", "/" + std::string(1023, 'x'), kStatusMoreData, "1,023 bytes"},
        {"empty", "", kStatusInvalidData, "empty"},
        {"a zero byte", std::string("/a\0b", 4), kStatusInvalidData, "zero byte"},
    };
    for (const auto& c : cases) {
        Hive(companion);
        const std::string before = test::ReadFile(hivePath);
        const SettingOutcome outcome = SetSavePath(registry, c.folder);
        EXPECT_EQ(outcome.status, c.status) << c.what;
        EXPECT_NE(outcome.problem.find(c.reason), std::string::npos) << c.what << outcome.problem;
        EXPECT_EQ(test::ReadFile(hivePath), before) << c.what;
        EXPECT_EQ(GetSavePath(registry, "/default"), "/c") << c.what;
    }
}

}  // namespace
}  // namespace pellimor
