// `pellimor-cli folder DIR` end to end: it says why and exits non-zero when it cannot
// store the folder, and never spoils the settings file it shares with the companion. The
// hive's own refusals of every special file and its odd lines: HiveSpecialFilesTest and
// HiveTextTest.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <functional>

#include "app/CliRun.h"

namespace pellimor {
namespace {

TEST(CliFolderTest, AFolderThatCannotBeStoredFailsWithTheReason) {
    test::TempFolder temp;
    const std::string config = temp / "config";
    const std::string hive = config + "/Tavrik/hkcu.reg";
    const std::string chosen = temp / "chosen";
    test::MakeFolders(chosen);
    // Stops the program if it blocks, which then shows as exit status 124.
    const auto folder = [&](const std::string& arguments, int& status) {
        return test::RunCommand("XDG_CONFIG_HOME='" + config + "' HOME='" + temp.path() +
                                    "' timeout 60 " + PELLIMOR_CLI + " folder " + arguments +
                                    " 2>&1",
                                status);
    };
    const struct {
        const char* what;
        std::function<void(const std::string&)> make;
        const char* reason;
    } cases[] = {
        {"the settings file is a pipe",
         [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }, "pipe (FIFO)"},
        {"the settings folder is a file",
         [](const std::string& p) {
             std::filesystem::remove_all(p.substr(0, p.rfind('/')));
             test::WriteFile(p.substr(0, p.rfind('/')), "not a folder");
         },
         "Not a directory"},
        {"the settings file is a link that leads back to itself",
         [](const std::string& p) { ASSERT_EQ(::symlink(p.c_str(), p.c_str()), 0); },
         "leads back to itself"},
        {"the settings file is no registry text",
         [](const std::string& p) { test::WriteFile(p, "colour=blue\n"); }, "not registry text"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all(config);
        test::MakeFolders(config + "/Tavrik");
        c.make(hive);
        const auto before = test::Snapshot(config);
        int status = 0;
        std::string out = folder("'" + chosen + "'", status);
        EXPECT_NE(status, 0) << c.what << ": " << out;
        EXPECT_NE(status, 124) << c.what << ": blocked";
        EXPECT_NE(out.find(c.reason), std::string::npos) << c.what << ": " << out;
        EXPECT_NE(out.find("not stored"), std::string::npos) << c.what << ": " << out;
        auto after = test::Snapshot(config);
        after.erase("Tavrik/hkcu.reg.lock");  // the lock the program takes beside the file
        EXPECT_TRUE(after == before) << c.what;
        // Shown, the folder is the default, with the reason the stored one could not be read.
        out = folder("", status);
        EXPECT_EQ(status, 0) << c.what << ": " << out;
        EXPECT_EQ(out.rfind(temp.path() + "\n", 0), 0u) << c.what << ": " << out;
        EXPECT_NE(out.find(c.reason), std::string::npos) << c.what << ": " << out;
    }
}

}  // namespace
}  // namespace pellimor
