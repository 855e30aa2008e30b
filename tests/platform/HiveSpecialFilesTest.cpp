// What sits at the hive's path besides a plain file: a chain of links is written through
// to its file and stays a chain; two programs writing at once both keep their values. The
// special files the settings refuse (pipes, devices, folders, loops, huge files, a hive
// that cannot be read) are checked end to end through pellimor-cli (app/CliFolderTest).
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <thread>

#include "files/SettingsStore.h"
#include "platform/registry/HiveRegistry.h"
#include "support/TempFolder.h"

namespace pellimor {
namespace {

const std::string kCompanionHive =
    "Windows Registry Editor Version 5.00\r\n\r\n"
    "[HKEY_CURRENT_USER\\Software\\Tavrik\\Marrowby]\r\n"
    "\"SavePath\"=\"/companion\"\r\n"
    "\"Colour\"=dword:00ff00ff\r\n";

std::string LinkTarget(const std::string& path) {
    char target[4096];
    const ssize_t length = ::readlink(path.c_str(), target, sizeof target);
    return length < 0 ? std::string() : std::string(target, static_cast<std::size_t>(length));
}

void Link(const std::string& target, const std::string& path) {
    ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0) << path;
}

mode_t Mode(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? info.st_mode : 0;
}

class HiveSpecialFilesTest : public ::testing::Test {
  protected:
    test::TempFolder temp;
    std::string folder = temp / "Tavrik";
    std::string path = folder + "/hkcu.reg";
    void SetUp() override { test::MakeFolders(folder); }
};

TEST_F(HiveSpecialFilesTest, ALinkIsWrittenThroughAndStaysALink) {
    test::MakeFolders(temp / "dotfiles/tavrik");
    test::WriteFile(temp / "dotfiles/tavrik/settings.reg", kCompanionHive);
    Link("../dotfiles/tavrik/link.reg", path);  // a chain of two links
    Link("settings.reg", temp / "dotfiles/tavrik/link.reg");
    HiveRegistry registry(path);
    ASSERT_EQ(GetSavePath(registry, "/default"), "/companion");
    const SettingOutcome stored = SetSavePath(registry, "/chosen");
    ASSERT_TRUE(stored.ok()) << stored.problem;
    ASSERT_EQ(registry.CreateKey(kOwnKey), kStatusSuccess) << registry.LastProblem();
    ASSERT_EQ(RegWriteString(registry, kOwnKey, "Other", "o"), kStatusSuccess);
    EXPECT_EQ(LinkTarget(path), "../dotfiles/tavrik/link.reg");
    EXPECT_EQ(LinkTarget(temp / "dotfiles/tavrik/link.reg"), "settings.reg");
    EXPECT_TRUE(S_ISREG(Mode(temp / "dotfiles/tavrik/settings.reg")));
    EXPECT_EQ(test::VisibleNames(folder), (std::vector<std::string>{"hkcu.reg", "hkcu.reg.lock"}));
    EXPECT_EQ(test::VisibleNames(temp / "dotfiles/tavrik"),
              (std::vector<std::string>{"link.reg", "settings.reg"}));
    HiveRegistry target(temp / "dotfiles/tavrik/settings.reg");
    EXPECT_EQ(GetSavePath(target, "/default"), "/chosen");
    std::string other;
    EXPECT_EQ(RegReadString(target, kOwnKey, "Other", other), kStatusSuccess);
    EXPECT_EQ(other, "o");
    RegistryValue colour;
    EXPECT_EQ(target.QueryValue(kCompanionKey, "Colour", colour), kStatusSuccess);
}

// Two programs writing at once: the lock beside the file keeps either from writing back a
// copy read before the other's change.
TEST_F(HiveSpecialFilesTest, TwoWritersAtOnceLoseNeitherWrite) {
    HiveRegistry setup(path);
    ASSERT_EQ(setup.CreateKey("Software\\A"), kStatusSuccess);
    const auto writer = [this](const std::string& name) {
        HiveRegistry registry(path);  // a separate open of the file, as another program has
        for (int i = 0; i < 60; ++i) {
            registry.SetValue("Software\\A", name + std::to_string(i), {kRegSz, name});
        }
    };
    std::thread one(writer, "one");
    std::thread two(writer, "two");
    one.join();
    two.join();
    for (int i = 0; i < 60; ++i) {
        for (const char* name : {"one", "two"}) {
            RegistryValue value;
            EXPECT_EQ(setup.QueryValue("Software\\A", name + std::to_string(i), value),
                      kStatusSuccess);
            EXPECT_EQ(value.data, name);
        }
    }
}

}  // namespace
}  // namespace pellimor
