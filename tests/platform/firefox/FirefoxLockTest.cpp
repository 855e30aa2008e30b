// Deleting from a cache2 folder while Firefox runs on its profile is refused: real child
// processes hold the profile's lock (fcntl, flock, Windows' parent.lock under Wine, the
// "lock" link), and the entry stays; once they are gone it goes. A file of the cache held
// open is the terminal's test (BrowserCachesTest).
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "platform/firefox/Cache2.h"
#include "support/FirefoxCache2Writer.h"
#include "support/TempFolder.h"

namespace pellimor::test {
namespace {

// A shell script run as a child that holds what it holds once it has said "ready"; its
// process stays the same through each exec, and is killed when the test is done with it.
class Holder {
  public:
    explicit Holder(const std::string& script) : out_(popen(("echo $$; " + script).c_str(), "r")) {}
    ~Holder() { Stop(); }
    bool Ready() {
        char line[64];
        return out_ != nullptr && fgets(line, sizeof line, out_) != nullptr &&
               (pid_ = std::atoi(line)) > 0 && fgets(line, sizeof line, out_) != nullptr &&
               std::string(line) == "ready\n";
    }
    void Stop() {
        if (out_ != nullptr) {
            if (pid_ > 0) {
                kill(pid_, SIGKILL);
            }
            pclose(out_);
            out_ = nullptr;
        }
    }

  private:
    FILE* out_;
    pid_t pid_ = 0;
};

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
     "Users/ana/AppData/ROAMING/mozilla/FIREFOX/Profiles/x1.default"},  // in any case
    {"WindowsXp",
     "Documents and Settings/ana/Local Settings/Application "
     "Data/Mozilla/Firefox/Profiles/q.default/cache2",
     "Documents and Settings/ana/Application Data/Mozilla/Firefox/Profiles/q.default"},
};

struct Lock {
    std::string name;
    std::string script;  // run with the profile folder quoted in place of PROFILE
};

// Python holding the .parentlock with fcntl's lockf, as Firefox does, or with flock.
std::string PythonLock(const std::string& call) {
    return "exec python3 -c \"import fcntl,sys,time\nf=open(sys.argv[1],'a')\nfcntl." + call +
           "(f,fcntl.LOCK_EX)\nprint('ready',flush=True)\ntime.sleep(120)\" PROFILE/.parentlock";
}

const std::vector<Lock> kLocks = {
    {"FcntlLockOnParentlock", PythonLock("lockf")},
    {"FlockOnParentlock", PythonLock("flock")},
    {"ParentLockOpenForWriting", "exec 3>>PROFILE/parent.lock; echo ready; exec sleep 120"},
    // The link names this process, which goes on running until the test kills it.
    {"LockLinkNamingARunningProcess",
     "ln -s 127.0.1.1:+$$ PROFILE/lock; echo ready; exec sleep 120"},
};

class FirefoxRunning : public ::testing::TestWithParam<std::tuple<Layout, Lock>> {};

TEST_P(FirefoxRunning, DeleteIsRefusedWhileAProcessHoldsTheProfileOrCache) {
    const auto& [layout, lock] = GetParam();
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
        std::string script = lock.script;
        for (std::size_t at; (at = script.find("PROFILE")) != std::string::npos;) {
            script.replace(at, 7, "'" + profile + "'");
        }
        Holder holder(script);
        ASSERT_TRUE(holder.Ready());
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
                                            ::testing::ValuesIn(kLocks)),
                         [](const auto& info) {
                             return std::get<0>(info.param).name + "_" +
                                    std::get<1>(info.param).name;
                         });

TEST(FirefoxLockLink, AParentlockThatIsAFifoOrALinkIsNotWaitedOn) {
    TempFolder temp;
    MakeFolders(temp / "p/cache2/entries");
    ASSERT_EQ(mkfifo((temp / "p/.parentlock").c_str(), 0600), 0);
    ASSERT_EQ(symlink("/dev/zero", (temp / "p/parent.lock").c_str()), 0);
    auto cache = FirefoxCache2::Open(temp / "p/cache2");
    ASSERT_TRUE(cache.ok());
    EXPECT_TRUE((*cache)->CanDelete().ok()) << (*cache)->CanDelete().error();
}

}  // namespace
}  // namespace pellimor::test
