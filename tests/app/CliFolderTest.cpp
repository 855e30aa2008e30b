// `pellimor-cli folder DIR` end to end: it says why and exits non-zero when it cannot
// store the folder, and never spoils the settings file it shares with the companion.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "app/CliRun.h"
#include "files/SettingsStore.h"
#include "platform/registry/HiveRegistry.h"

namespace pellimor {
namespace {

const std::string kCompanionHive =
    "Windows Registry Editor Version 5.00\r\n\r\n"
    "[HKEY_CURRENT_USER\\Software\\Tavrik\\Marrowby]\r\n"
    "\"SavePath\"=\"/companion\"\r\n"
    "\"Colour\"=dword:00ff00ff\r\n";

class CliFolderTest : public ::testing::Test {
  protected:
    test::TempFolder temp;
    std::string config = temp / "config";
    std::string hive = config + "/Tavrik/hkcu.reg";
    std::string chosen = temp / "chosen";
    void SetUp() override {
        test::MakeFolders(config + "/Tavrik");
        test::MakeFolders(chosen);
    }
    // Stops the program if it blocks, which then shows as exit status 124.
    std::string Folder(const std::string& arguments, int& status,
                       const std::string& prefix = "") const {
        return test::RunCommand("XDG_CONFIG_HOME='" + config + "' HOME='" + temp.path() + "' " +
                                    prefix + "timeout 60 " + PELLIMOR_CLI + " folder " + arguments +
                                    " 2>&1",
                                status);
    }
};

TEST_F(CliFolderTest, AFolderThatCannotBeStoredFailsWithTheReason) {
    const struct {
        const char* what;
        std::function<void(const std::string&)> make;
        const char* reason;
    } cases[] = {
        {"the settings file is a pipe",
         [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }, "pipe (FIFO)"},
        {"the settings file is a folder", [](const std::string& p) { test::MakeFolders(p); },
         "is a folder"},
        {"the settings file links to /dev/zero",
         [](const std::string& p) { ASSERT_EQ(::symlink("/dev/zero", p.c_str()), 0); }, "a device"},
        {"the settings file is larger than 16 MiB",
         [](const std::string& p) {
             test::WriteFile(p, kCompanionHive);
             ASSERT_EQ(::truncate(p.c_str(), 17 * 1024 * 1024), 0);
         },
         "16 MiB"},
        {"the settings file links to itself",
         [](const std::string& p) { ASSERT_EQ(::symlink("hkcu.reg", p.c_str()), 0); },
         "leads back"},
        {"the settings file links to nothing",
         [](const std::string& p) { ASSERT_EQ(::symlink("gone/hkcu.reg", p.c_str()), 0); },
         "does not exist"},
        {"the settings folder is a file",
         [](const std::string& p) {
             std::filesystem::remove_all(p.substr(0, p.rfind('/')));
             test::WriteFile(p.substr(0, p.rfind('/')), "not a folder");
         },
         "Not a directory"},
        {"the settings file is no registry text",
         [](const std::string& p) { test::WriteFile(p, "colour=blue\n"); }, "not registry text"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all(config);
        test::MakeFolders(config + "/Tavrik");
        c.make(hive);
        const auto before = test::Snapshot(config);
        int status = 0;
        std::string out = Folder("'" + chosen + "'", status);
        EXPECT_NE(status, 0) << c.what << ": " << out;
        EXPECT_NE(status, 124) << c.what << ": blocked";
        EXPECT_NE(out.find(c.reason), std::string::npos) << c.what << ": " << out;
        EXPECT_NE(out.find("not stored"), std::string::npos) << c.what << ": " << out;
        auto after = test::Snapshot(config);
        after.erase("Tavrik/hkcu.reg.lock");  // the lock the program takes beside the file
        EXPECT_TRUE(after == before) << c.what;
        // Shown, the folder is the default, with the reason the stored one could not be read.
        out = Folder("", status);
        EXPECT_EQ(status, 0) << c.what << ": " << out;
        EXPECT_EQ(out.rfind(temp.path() + "\n", 0), 0u) << c.what << ": " << out;
        if (std::string(c.reason) != "does not exist") {  // nothing stored is no problem
            EXPECT_NE(out.find(c.reason), std::string::npos) << c.what << ": " << out;
        }
    }
}

TEST_F(CliFolderTest, AnotherUsersSettingsFileIsNotReplaced) {
    // Mode 000 stops everyone but root; as root the program runs as the user nobody.
    test::WriteFile(hive, kCompanionHive);
    ASSERT_EQ(::chmod(hive.c_str(), 0), 0);
    std::string prefix;
    if (::geteuid() == 0) {
        if (::access("/usr/bin/setpriv", X_OK) != 0) {
            GTEST_SKIP() << "running as root without setpriv to become another user";
        }
        ASSERT_EQ(::chmod(temp.path().c_str(), 0755), 0);
        ASSERT_EQ(::chmod((config + "/Tavrik").c_str(), 0777), 0);
        ASSERT_EQ(::chmod(chosen.c_str(), 0777), 0);
        prefix = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    }
    int status = 0;
    const std::string out = Folder("'" + chosen + "'", status, prefix);
    EXPECT_NE(status, 0) << out;
    EXPECT_NE(out.find("Permission denied"), std::string::npos) << out;
    ASSERT_EQ(::chmod(hive.c_str(), 0600), 0);
    EXPECT_EQ(test::ReadFile(hive), kCompanionHive);
}

// The companion's odd lines stay and only its folder is overwritten; a folder name with a
// line break, quotes and a backslash is stored and reads back.
TEST_F(CliFolderTest, TheCompanionsOddLinesStayAndAnyFolderNameReadsBack) {
    const std::string odd =
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[-HKEY_CURRENT_USER\\Software\\Tavrik\\Old]\r\n"
        "[HKEY_CURRENT_USER\\Software\\Tavrik\\Marrowby] ; Marrowby\r\n"
        "\"Gone\"=-\r\n"
        "    \"SavePath\"=\"/companion\" ; its folder\r\n"
        "[HKEY_CURRENT_USER\\Software\\Tavrik\\Unclosed\r\n"
        "\"Colour\"=dword:00ff00ff\r\n";
    test::WriteFile(hive, odd);
    int status = 0;
    std::string out = Folder("'" + chosen + "'", status);
    ASSERT_EQ(status, 0) << out;
    std::string expected = odd;
    expected.replace(expected.find("/companion"), 10, chosen);
    EXPECT_EQ(test::ReadFile(hive), expected);
    out = Folder("", status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(out, chosen + "\n");
    const std::string name = temp / "two\nlines \"quoted\" \\ [x]";
    test::MakeFolders(name);
    out = Folder("'" + name + "'", status);
    ASSERT_EQ(status, 0) << out;
    HiveRegistry stored(hive);
    EXPECT_EQ(GetSavePath(stored, "/default"), name);
    // Shown, the stored folder comes back (the terminal may show the line break escaped).
    out = Folder("", status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(out.rfind(temp / "two", 0), 0u) << out;
    EXPECT_TRUE(test::Has(out, "lines \"quoted\" \\ [x]\n")) << out;
}

}  // namespace
}  // namespace pellimor
