// Deleting from a cache2 folder while Firefox runs on its profile is refused: real child
// processes hold the profile's lock (fcntl, flock, Windows' parent.lock under Wine, the
// "lock" link), and the entry stays; once they are gone it goes. A file of the cache held
// open is the terminal's test (BrowserCachesTest).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <ostream>

#include "platform/firefox/Cache2.h"
#include "platform/firefox/ProfileLock.h"
#include "support/FirefoxCache2Writer.h"
#include "support/TempFolder.h"

namespace pellimor::test {
namespace {

// A child process that says "ready" on its standard output once it holds what it holds.
class Child {
  public:
    explicit Child(const std::vector<std::string>& argv) {
        int fds[2];
        if (pipe(fds) != 0) {
            return;
        }
        pid_ = fork();
        if (pid_ == 0) {
            // A group of its own, so that what it starts (flock's command) goes with it and
            // keeps no output of the test's open.
            setpgid(0, 0);
            dup2(fds[1], STDOUT_FILENO);
            close(fds[0]);
            close(fds[1]);
            std::vector<char*> args;
            for (const std::string& arg : argv) {
                args.push_back(const_cast<char*>(arg.c_str()));
            }
            args.push_back(nullptr);
            execvp(args[0], args.data());
            _exit(127);
        }
        close(fds[1]);
        out_ = fds[0];
    }
    ~Child() {
        Stop();
        if (out_ >= 0) {
            close(out_);
        }
    }
    bool WaitReady() {
        std::string line;
        char c = 0;
        while (line.size() < 64 && read(out_, &c, 1) == 1) {
            if (c == '\n') {
                return line == "ready";
            }
            line.push_back(c);
        }
        return false;
    }
    void Stop() {
        if (pid_ > 0) {
            kill(-pid_, SIGKILL);
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }
    pid_t pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
    int out_ = -1;
};

std::vector<std::string> Shell(const std::string& script, const std::string& arg) {
    return {"/bin/sh", "-c", script, "sh", arg};
}

struct Layout {
    std::string name;
    std::string cache2;   // below the temporary folder
    std::string profile;  // where the lock lives
};

const std::vector<Layout> kLayouts = {
    {"LinuxCacheApart", "home/.cache/mozilla/firefox/ab12.default-esr/cache2",
     "home/.mozilla/firefox/ab12.default-esr"},
    {"CacheInsideProfile", "profile/cache2", "profile"},
    {"WindowsLocalAndRoaming", "Users/ana/AppData/Local/Mozilla/Firefox/Profiles/x1.default/cache2",
     "Users/ana/AppData/Roaming/Mozilla/Firefox/Profiles/x1.default"},
    {"WindowsXp",
     "Documents and Settings/ana/Local Settings/Application "
     "Data/Mozilla/Firefox/Profiles/q.default/cache2",
     "Documents and Settings/ana/Application Data/Mozilla/Firefox/Profiles/q.default"},
};

struct Holder {
    std::string name;
    // The child's command, given the profile folder.
    std::function<std::vector<std::string>(const std::string&)> command;
};

const std::vector<Holder> kHolders = {
    {"FcntlLockOnParentlock",
     [](const std::string& profile) {
         return std::vector<std::string>{
             "python3", "-c",
             "import fcntl,sys,time\nf=open(sys.argv[1],'a')\nfcntl.lockf(f,fcntl.LOCK_EX)\n"
             "print('ready',flush=True)\ntime.sleep(120)",
             profile + "/.parentlock"};
     }},
    {"FlockOnParentlock",
     [](const std::string& profile) {
         return std::vector<std::string>{"flock", "-o", profile + "/.parentlock", "-c",
                                         "echo ready; exec sleep 120"};
     }},
    {"ParentLockOpenForWriting",
     [](const std::string& profile) {
         return Shell("exec 3>>\"$1\"; echo ready; exec sleep 120", profile + "/parent.lock");
     }},
};

// Test names and failure messages name the case, not its bytes.
void PrintTo(const Layout& layout, std::ostream* out) {
    *out << layout.name;
}
void PrintTo(const Holder& holder, std::ostream* out) {
    *out << holder.name;
}

class FirefoxRunning : public ::testing::TestWithParam<std::tuple<Layout, Holder>> {};

TEST_P(FirefoxRunning, DeleteIsRefusedWhileAProcessHoldsTheProfileOrCache) {
    const auto& [layout, holder] = GetParam();
    TempFolder temp;
    const std::string cache2 = temp / layout.cache2;
    const std::string profile = temp / layout.profile;
    MakeFolders(cache2 + "/entries");
    MakeFolders(profile);
    const std::string entry = WriteCache2Entry(
        cache2 + "/entries", {":http://e.example/a.swf", "FWS\x05", "HTTP/1.1 200 OK\r\n"});
    auto cache = FirefoxCache2::Open(cache2);
    ASSERT_TRUE(cache.ok());
    const CacheEntryRef chosen{
        EntryId{(*cache)->Location(), Cache2EntryName(":http://e.example/a.swf"), 0},
        "http://e.example/a.swf", std::nullopt};
    {
        Child child(holder.command(profile));
        ASSERT_TRUE(child.WaitReady());
        const Status can = (*cache)->CanDelete();
        EXPECT_FALSE(can.ok());
        EXPECT_FALSE(can.error().empty());
        const auto results = (*cache)->DeleteEntries({chosen});
        ASSERT_EQ(results.size(), 1u);
        EXPECT_FALSE(results[0].ok());
        EXPECT_TRUE(FileExists(entry));
    }
    EXPECT_TRUE((*cache)->CanDelete().ok()) << (*cache)->CanDelete().error();
    const auto results = (*cache)->DeleteEntries({chosen});
    ASSERT_EQ(results.size(), 1u);
    EXPECT_TRUE(results[0].ok()) << results[0].error();
    EXPECT_FALSE(FileExists(entry));
}

INSTANTIATE_TEST_SUITE_P(Profiles, FirefoxRunning,
                         ::testing::Combine(::testing::ValuesIn(kLayouts),
                                            ::testing::ValuesIn(kHolders)),
                         [](const auto& info) {
                             return std::get<0>(info.param).name + "_" +
                                    std::get<1>(info.param).name;
                         });

TEST(FirefoxLockLink, ALinkNamingARunningProcessRefusesAndAStaleOneDoesNot) {
    TempFolder temp;
    MakeFolders(temp / "profile/cache2/entries");
    Child sleeper(Shell("echo ready; exec sleep 120", ""));
    ASSERT_TRUE(sleeper.WaitReady());
    ASSERT_EQ(symlink(("127.0.1.1:+" + std::to_string(sleeper.pid())).c_str(),
                      (temp / "profile/lock").c_str()),
              0);
    auto cache = FirefoxCache2::Open(temp / "profile/cache2");
    ASSERT_TRUE(cache.ok());
    EXPECT_FALSE((*cache)->CanDelete().ok());
    sleeper.Stop();
    EXPECT_TRUE((*cache)->CanDelete().ok()) << (*cache)->CanDelete().error();
}

TEST(FirefoxLockLink, AParentlockThatIsAFifoOrALinkIsNotWaitedOn) {
    TempFolder temp;
    MakeFolders(temp / "p/cache2/entries");
    ASSERT_EQ(mkfifo((temp / "p/.parentlock").c_str(), 0600), 0);
    ASSERT_EQ(symlink("/dev/zero", (temp / "p/parent.lock").c_str()), 0);
    auto cache = FirefoxCache2::Open(temp / "p/cache2");
    ASSERT_TRUE(cache.ok());
    EXPECT_TRUE((*cache)->CanDelete().ok()) << (*cache)->CanDelete().error();
}

TEST(FirefoxProfiles, TheRoamingProfileIsFoundInAnyCase) {
    TempFolder temp;
    MakeFolders(temp / "users/ana/AppData/ROAMING/mozilla/FIREFOX/Profiles/x.default");
    MakeFolders(temp / "users/ana/AppData/Local/Mozilla/Firefox/Profiles/x.default/cache2");
    const auto folders = firefox::ProfileFoldersOf(
        temp / "users/ana/AppData/Local/Mozilla/Firefox/Profiles/x.default/cache2");
    ASSERT_EQ(folders.size(), 2u);
    EXPECT_EQ(folders[1], temp / "users/ana/AppData/ROAMING/mozilla/FIREFOX/Profiles/x.default");
}

}  // namespace
}  // namespace pellimor::test
