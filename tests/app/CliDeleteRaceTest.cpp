// pellimor-cli delete among other processes: deletes started together and a listing in a
// loop all succeed, and a cache folder swapped for a link while the delete waits for its
// confirmation, or in a race with --yes, never leads it into the link's target.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "app/CliRun.h"

namespace pellimor {
namespace {

namespace fs = std::filesystem;

// A demo cache to copy for each round, and a copy of it that a delete must never reach.
class CliDeleteRace : public ::testing::Test {
  protected:
    test::TempFolder temp;
    std::string model = temp / "model";
    std::string profile = temp / "profile";
    std::string target = temp / "target";
    std::string cache = profile + "/INetCache";

    void SetUp() override {
        const test::Ran demo = test::Cli(temp.path(), "demo '" + model + "'");
        ASSERT_EQ(demo.status, 0) << demo.out;
        int status = 0;
        test::RunCommand("cp -a '" + model + "' '" + target + "'", status);
        ASSERT_EQ(status, 0);
    }
    void FreshProfile() {
        int status = 0;
        test::RunCommand("rm -rf '" + profile + "' && cp -a '" + model + "' '" + profile + "'",
                         status);
        ASSERT_EQ(status, 0);
    }
};

// Two deletes of different movies started together, with a third pellimor-cli listing the
// same cache in a loop: every delete succeeds.
TEST_F(CliDeleteRace, DeletesStartedTogetherBesideAListingAllSucceed) {
    const std::string cli =
        "XDG_CONFIG_HOME='" + temp.path() + "/config' HOME='" + temp.path() + "' " + PELLIMOR_CLI;
    int refused = 0;
    for (int pair = 0; pair < 20; ++pair) {
        FreshProfile();
        const std::string script =
            "rm -f '" + temp.path() + "/stop'; (while [ ! -e '" + temp.path() + "/stop' ]; do " +
            cli + " list --cache '" + cache + "' >/dev/null 2>&1; done) & l=$!; " + cli +
            " delete --cache '" + cache + "' rocket --yes >'" + temp.path() + "/a' 2>&1 & a=$!; " +
            cli + " delete --cache '" + cache + "' snake --yes >'" + temp.path() +
            "/b' 2>&1 & b=$!; wait $a; ra=$?; wait $b; rb=$?; touch '" + temp.path() +
            "/stop'; wait $l; echo $ra$rb";
        int status = 0;
        const std::string out = test::RunCommand(script, status);
        refused += (out.substr(0, 2) != "00");
        EXPECT_EQ(out, "00\n") << "pair " << pair << ":\n"
                               << test::ReadFile(temp / "a") << test::ReadFile(temp / "b");
    }
    EXPECT_EQ(refused, 0);
}

// Swaps the profile for a link to the target, atomically: the cache folder given now
// leads into the target.
void SwapForLink(const std::string& profile, const std::string& link) {
    ASSERT_EQ(::renameat2(AT_FDCWD, profile.c_str(), AT_FDCWD, link.c_str(), RENAME_EXCHANGE), 0)
        << std::strerror(errno);
}

// The terminal's confirmation waits; the folder is swapped meanwhile; the answer is yes.
TEST_F(CliDeleteRace, AFolderSwappedWhileTheConfirmationWaitsIsNotFollowed) {
    FreshProfile();
    const std::string link = temp / "link";
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
        SwapForLink(profile, link);
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

// The swapper waits for the listing to open the index, then swaps at once, racing the
// delete that follows with --yes: whichever wins, the target is never touched.
TEST_F(CliDeleteRace, AFolderSwappedInARaceWithYesIsNeverFollowed) {
    const std::string link = temp / "link";
    const auto untouched = test::Snapshot(target);
    int swapped = 0;
    int refused = 0;
    for (int round = 0; round < 60; ++round) {
        FreshProfile();
        std::remove(link.c_str());
        ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t swapper = ::fork();
        if (swapper == 0) {
            const int watch = ::inotify_init();
            const bool watching =
                ::inotify_add_watch(watch, (cache + "/Content.IE5").c_str(), IN_OPEN) >= 0;
            (void)!::write(ready[1], watching ? "y" : "n", 1);
            alignas(inotify_event) char events[4096];
            for (;;) {
                const ssize_t got = ::read(watch, events, sizeof events);
                if (got <= 0) {
                    ::_exit(1);
                }
                for (ssize_t at = 0; at < got;) {
                    const auto* event = reinterpret_cast<const inotify_event*>(events + at);
                    if (event->len > 0 && std::string(event->name) == "index.dat") {
                        ::_exit(::renameat2(AT_FDCWD, profile.c_str(), AT_FDCWD, link.c_str(),
                                            RENAME_EXCHANGE) == 0
                                    ? 0
                                    : 2);
                    }
                    at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                }
            }
        }
        char watching = 0;
        ASSERT_EQ(::read(ready[0], &watching, 1), 1);
        ::close(ready[0]);
        ::close(ready[1]);
        ASSERT_EQ(watching, 'y');
        const test::Ran ran = test::Cli(temp.path(), "delete --cache '" + cache + "' rocket --yes");
        ::kill(swapper, SIGKILL);  // when the listing never opened the index
        int raw = 0;
        ::waitpid(swapper, &raw, 0);
        swapped += WIFEXITED(raw) && WEXITSTATUS(raw) == 0;
        refused += ran.status != 0;
        ASSERT_TRUE(test::Snapshot(target) == untouched) << "round " << round << ":\n" << ran.out;
        if (fs::is_symlink(profile)) {
            SwapForLink(profile, link);  // the original back in its place
        }
    }
    EXPECT_GT(swapped, 0);
    std::printf("%d of 60 rounds swapped the folder during the delete; %d deletes refused\n",
                swapped, refused);
}

}  // namespace
}  // namespace pellimor
