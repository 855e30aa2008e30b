// pellimor-cli delete waiting for its confirmation on a terminal while the cache folder is
// swapped for a link: the answer yes never leads it into the link's target. (The same swap
// without a prompt, for every format: SwappedFolderTest.)
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "app/CliRun.h"

namespace pellimor {
namespace {

// The terminal's confirmation waits; the folder is swapped meanwhile; the answer is yes.
TEST(CliDeleteRace, AFolderSwappedWhileTheConfirmationWaitsIsNotFollowed) {
    test::TempFolder temp;
    const std::string profile = temp / "profile";
    const std::string target = temp / "target";
    const std::string cache = profile + "/INetCache";
    const std::string link = temp / "link";
    const test::Ran demo = test::Cli(temp.path(), "demo '" + profile + "'");
    ASSERT_EQ(demo.status, 0) << demo.out;
    int status = 0;
    test::RunCommand("cp -a '" + profile + "' '" + target + "'", status);
    ASSERT_EQ(status, 0);
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    const auto untouched = test::Snapshot(target);
    int master = -1;
    const pid_t child = ::forkpty(&master, nullptr, nullptr, nullptr);
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::setenv("HOME", temp.path().c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (temp / "config").c_str(), 1);
        ::execl(PELLIMOR_CLI, "pellimor-cli", "delete", "--cache", cache.c_str(), "rocket",
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // Reads what the program writes until text appears or it ends.
    std::string shown;
    const auto readUntil = [&](const std::string& text) {
        pollfd wait{master, POLLIN, 0};
        while (shown.find(text) == std::string::npos && ::poll(&wait, 1, 30000) > 0) {
            char buffer[4096];
            const ssize_t got = ::read(master, buffer, sizeof buffer);
            if (got <= 0) {
                return false;
            }
            shown.append(buffer, static_cast<std::size_t>(got));
        }
        return shown.find(text) != std::string::npos;
    };
    const bool asked = readUntil("Are you sure? [y/N] ");
    if (asked) {
        EXPECT_EQ(::renameat2(AT_FDCWD, profile.c_str(), AT_FDCWD, link.c_str(), RENAME_EXCHANGE),
                  0)
            << std::strerror(errno);
    }
    (void)!::write(master, "y\n", 2);
    readUntil("\x04");  // to the end
    ::close(master);
    int raw = 0;
    ::waitpid(child, &raw, 0);
    ASSERT_TRUE(asked) << shown;
    EXPECT_TRUE(test::Snapshot(target) == untouched) << shown;
    EXPECT_NE(shown.find("is no longer the folder that was listed"), std::string::npos) << shown;
    EXPECT_NE(WEXITSTATUS(raw), 0) << shown;
}

}  // namespace
}  // namespace pellimor
