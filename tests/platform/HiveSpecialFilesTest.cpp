// Whatever sits at the hive's path, the settings neither block, nor flood memory, nor
// write over what they could not read; a link is written through to its file.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "files/SettingsStore.h"
#include "platform/registry/HiveRegistry.h"
#include "support/TempFolder.h"

namespace pellimor {
namespace {

constexpr uid_t kNobody = 65534;

const std::string kCompanionHive =
    "Windows Registry Editor Version 5.00\r\n\r\n"
    "[HKEY_CURRENT_USER\\Software\\Tavrik\\Marrowby]\r\n"
    "\"SavePath\"=\"/companion\"\r\n"
    "\"Colour\"=dword:00ff00ff\r\n";

// Runs body in a child process, as the user nobody when asked, and returns what it
// reported; a child that blocks is stopped and reported as such instead of hanging the
// tests.
std::string InChild(const std::function<std::string()>& body, bool asNobody = false) {
    int channel[2];
    if (::pipe(channel) != 0) {
        return "no pipe";
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        std::string report;
        if (asNobody &&
            (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
            report = "cannot become nobody";
        } else {
            report = body();
        }
        const ssize_t ignored = ::write(channel[1], report.data(), report.size());
        (void)ignored;
        ::_exit(0);
    }
    ::close(channel[1]);
    std::string report;
    pollfd wait{channel[0], POLLIN, 0};
    for (;;) {
        if (::poll(&wait, 1, 60 * 1000) <= 0) {
            ::kill(child, SIGKILL);
            report = "blocked";
            break;
        }
        char buffer[4096];
        const ssize_t got = ::read(channel[0], buffer, sizeof buffer);
        if (got <= 0) {
            break;
        }
        report.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status)) {
        report += " (the child ended by signal " + std::to_string(WTERMSIG(status)) + ")";
    }
    return report;
}

// Reading, writing and creating a key, as statuses with the last reason given.
std::string TryEverything(const std::string& path) {
    HiveRegistry registry(path);
    RegistryValue value;
    const long read = registry.QueryValue(kCompanionKey, kSavePathValue, value);
    const long write = registry.SetValue(kCompanionKey, kSavePathValue, {kRegSz, "/new"});
    const long create = registry.CreateKey(kOwnKey);
    const SettingOutcome stored = SetSavePath(registry, "/new");
    return "read " + std::to_string(read) + ", write " + std::to_string(write) + ", create " +
           std::to_string(create) + ", store " + std::to_string(stored.status) + ": " +
           stored.problem;
}

std::string LinkTarget(const std::string& path) {
    char target[4096];
    const ssize_t length = ::readlink(path.c_str(), target, sizeof target);
    return length < 0 ? std::string() : std::string(target, static_cast<std::size_t>(length));
}

void Link(const std::string& target, const std::string& path) {
    ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0) << path;
}

void Fifo(const std::string& path) {
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0) << path;
}

void Empty(const std::string& folder) {
    for (const std::string& name : test::VisibleNames(folder)) {
        std::filesystem::remove_all(folder + "/" + name);
    }
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

TEST_F(HiveSpecialFilesTest, WhatIsNotARegularFileOfSaneSizeIsRefusedAndLeftAlone) {
    const struct {
        const char* what;
        std::function<void(const std::string&)> make;
        std::function<bool(const std::string&)> unchanged;
        const char* reason;
        std::vector<std::string> files;  // in the folder afterwards
    } cases[] = {
        {"a pipe",
         [](const std::string& p) { Fifo(p); },
         [](const std::string& p) { return S_ISFIFO(Mode(p)); },
         "pipe (FIFO)",
         {"hkcu.reg", "hkcu.reg.lock"}},
        {"a folder",
         [](const std::string& p) {
             test::MakeFolders(p);
             test::WriteFile(p + "/inside", "x");
         },
         [](const std::string& p) { return S_ISDIR(Mode(p)) && test::VisibleNames(p).size() == 1; },
         "a folder",
         {"hkcu.reg", "hkcu.reg.lock"}},
        {"a link to /dev/zero",
         [](const std::string& p) { Link("/dev/zero", p); },
         [](const std::string& p) { return LinkTarget(p) == "/dev/zero"; },
         "a device",
         {"hkcu.reg", "hkcu.reg.lock"}},
        {"a link to a pipe",
         [](const std::string& p) {
             Fifo(p + ".pipe");
             Link("hkcu.reg.pipe", p);
         },
         [](const std::string& p) { return LinkTarget(p) == "hkcu.reg.pipe"; },
         "pipe (FIFO)",
         {"hkcu.reg", "hkcu.reg.lock", "hkcu.reg.pipe"}},
        {"more than 16 MiB",
         [](const std::string& p) {
             test::WriteFile(p, kCompanionHive);
             ASSERT_EQ(::truncate(p.c_str(), 16 * 1024 * 1024 + 1), 0);
         },
         [](const std::string& p) {
             struct stat info {};
             return ::stat(p.c_str(), &info) == 0 && info.st_size == 16 * 1024 * 1024 + 1;
         },
         "16 MiB",
         {"hkcu.reg", "hkcu.reg.lock"}},
        {"a link to itself",
         [](const std::string& p) { Link("hkcu.reg", p); },
         [](const std::string& p) { return LinkTarget(p) == "hkcu.reg"; },
         "leads back",
         {"hkcu.reg", "hkcu.reg.lock"}},
    };
    for (const auto& c : cases) {
        c.make(path);
        const std::string report = InChild([this] { return TryEverything(path); });
        EXPECT_EQ(report.find("read 0"), std::string::npos) << c.what << ": " << report;
        EXPECT_EQ(report.find("write 0"), std::string::npos) << c.what << ": " << report;
        EXPECT_EQ(report.find("create 0"), std::string::npos) << c.what << ": " << report;
        EXPECT_EQ(report.find("store 0"), std::string::npos) << c.what << ": " << report;
        EXPECT_NE(report.find(c.reason), std::string::npos) << c.what << ": " << report;
        EXPECT_TRUE(c.unchanged(path)) << c.what;
        EXPECT_EQ(test::VisibleNames(folder), c.files) << c.what;
        Empty(folder);
    }
}

TEST_F(HiveSpecialFilesTest, AHiveThatCannotBeReadIsNeverWrittenOver) {
    // As root every file can be read; the case is then played by the user nobody.
    const bool root = ::geteuid() == 0;
    test::WriteFile(path, kCompanionHive);
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    if (root) {
        ASSERT_EQ(::chmod(temp.path().c_str(), 0755), 0);
        ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);  // nobody could replace the file, and must not
    }
    const std::string report = InChild([this] { return TryEverything(path); }, root);
    ASSERT_NE(report, "cannot become nobody");
    EXPECT_NE(report.find("read 5"), std::string::npos) << report;
    EXPECT_NE(report.find("write 5"), std::string::npos) << report;
    EXPECT_NE(report.find("store 5"), std::string::npos) << report;
    EXPECT_NE(report.find("Permission denied"), std::string::npos) << report;
    EXPECT_NE(report.find(path), std::string::npos) << report;
    ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
    EXPECT_EQ(test::ReadFile(path), kCompanionHive);
    HiveRegistry registry(path);
    EXPECT_EQ(GetSavePath(registry, "/default"), "/companion");
    const auto files = test::VisibleNames(folder);
    EXPECT_EQ(std::count_if(files.begin(), files.end(),
                            [](const std::string& n) {
                                return n.rfind("hkcu.reg.", 0) == 0 && n != "hkcu.reg.lock";
                            }),
              0);
}

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

TEST_F(HiveSpecialFilesTest, ALinkToNothingReadsAsEmptyAndIsNotWrittenThrough) {
    Link("../elsewhere/hkcu.reg", path);
    HiveRegistry registry(path);
    EXPECT_EQ(GetSavePath(registry, "/default"), "/default");
    const SettingOutcome stored = SetSavePath(registry, "/chosen");
    EXPECT_EQ(stored.status, kStatusAccessDenied);
    EXPECT_NE(stored.problem.find("../elsewhere/hkcu.reg, which does not exist"), std::string::npos)
        << stored.problem;
    EXPECT_EQ(LinkTarget(path), "../elsewhere/hkcu.reg");
    EXPECT_FALSE(test::FileExists(temp / "elsewhere"));
}

}  // namespace
}  // namespace pellimor
