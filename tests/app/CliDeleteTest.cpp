// pellimor-cli delete, end to end on real caches: it deletes exactly the movies the user
// named, shows them before asking, and never writes a read-only cache.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>

#include "platform/urlcache/CacheWriter.h"
#include "platform/urlcache/IndexDatCache.h"
#include "support/Outcome.h"
#include "support/TempFolder.h"

namespace pellimor {
namespace {

namespace fs = std::filesystem;

constexpr const char* kRocket = "http://www.arcade.example/games/rocket.swf";
constexpr const char* kSnake = "http://www.arcade.example/games/snake.swf";
constexpr const char* kArcadeIntro = "http://www.arcade.example/intro.swf";
constexpr const char* kCartoonsIntro = "http://cartoons.example/intro.swf";

std::string Cli(const test::TempFolder& temp, const std::string& arguments, int& status) {
    return test::RunCommand("XDG_CONFIG_HOME='" + temp.path() + "/config' HOME='" + temp.path() +
                                "' " + PELLIMOR_CLI + " " + arguments + " 2>&1",
                            status);
}

// Every live record of the cache that has a file: its address, with the container beside it
// so that two records of one address count twice.
std::multiset<std::string> LiveAddresses(const std::string& cacheFolder) {
    std::multiset<std::string> addresses;
    IndexDatCache cache(cacheFolder, 1252);
    const Status status = cache.EnumerateRecords([&](const CacheRecord& r) {
        if (r.url && r.localFileName) {
            addresses.insert(*r.url);
        }
        return true;
    });
    EXPECT_TRUE(status.ok()) << status.error();
    return addresses;
}

// Every file below folder with its bytes and mode: what "nothing was written" compares.
std::map<std::string, std::string> Snapshot(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const auto mode = static_cast<unsigned>(entry.status().permissions());
        files[entry.path().string()] =
            std::to_string(mode) + ":" +
            (entry.is_regular_file() ? test::ReadFile(entry.path().string()) : "");
    }
    return files;
}

void ExpectShown(const std::string& out, const std::vector<std::string>& shown) {
    for (const std::string& text : shown) {
        EXPECT_NE(out.find(text), std::string::npos) << "missing: " << text << "\nin:\n" << out;
    }
}

struct DeleteCase {
    const char* what;
    std::string arguments;  // after "delete --cache DIR"
    int status;
    std::vector<std::string> shown;  // texts the output holds
    std::vector<std::string> gone;   // the addresses deleted; every other one stays
};

TEST(CliDeleteTest, DeletesExactlyWhatWasNamed) {
    const std::string longSite(20000, 'x');
    const DeleteCase cases[] = {
        {"an unknown site is refused with the closest sites",
         "--site nosuch snake --yes",
         2,
         {"--site nosuch: no site of this cache contains it; the closest: "},
         {}},
        {"a misspelt site is offered first",
         "--site acrade snake --yes",
         2,
         {"the closest: arcade.example, games.arcade.example, "},
         {}},
        {"a site matches whatever its letter case, as the window's list does",
         "--site ARCADE snake --yes",
         0,
         {"deleted http://www.arcade.example/games/snake.swf"},
         {"http://www.arcade.example/games/snake.swf"}},
        {"a huge site text is refused like any other",
         "--site " + longSite + " snake --yes",
         2,
         {"no site of this cache contains it"},
         {}},
        {"a site no item begins with still takes only the sites containing it",
         "--site toons intro --yes",
         0,
         {"These movies will be deleted:\n  intro  cartoons.example  " +
          std::string(kCartoonsIntro) + "\n"},
         {kCartoonsIntro}},
        {"a name two movies share is refused, each shown with site and address",
         "intro --yes",
         2,
         {"intro: 2 movies have this name; pick one with --url ADDRESS, or take them all with "
          "--all-matching:\n",
          "  intro  cartoons.example  " + std::string(kCartoonsIntro) + "\n",
          "  intro  arcade.example    " + std::string(kArcadeIntro) + "\n", "nothing deleted"},
         {}},
        {"--all-matching takes every movie of the name",
         "intro --all-matching --yes",
         0,
         {"deleted " + std::string(kCartoonsIntro), "deleted " + std::string(kArcadeIntro)},
         {kCartoonsIntro, kArcadeIntro}},
        {"--site narrows a name to one movie",
         "--site cartoons intro --yes",
         0,
         {"These movies will be deleted:\n  intro  cartoons.example  " +
          std::string(kCartoonsIntro) + "\ndeleted " + kCartoonsIntro},
         {kCartoonsIntro}},
        {"--url picks the one movie of that address",
         "--url " + std::string(kArcadeIntro) + " --yes",
         0,
         {"  intro  arcade.example  " + std::string(kArcadeIntro) + "\n"},
         {kArcadeIntro}},
        {"--url can be given again",
         "--url " + std::string(kRocket) + " --url " + std::string(kSnake) + " --yes",
         0,
         {"deleted " + std::string(kRocket), "deleted " + std::string(kSnake)},
         {kRocket, kSnake}},
        {"an address that differs by a query is no match",
         "--url '" + std::string(kArcadeIntro) + "?x' --yes",
         2,
         {"nothing in this listing matches " + std::string(kArcadeIntro) + "?x; nothing deleted"},
         {}},
        {"--url outside the --site is no match",
         "--site cartoons --url " + std::string(kArcadeIntro) + " --yes",
         2,
         {"nothing in this listing matches"},
         {}},
        {"a movie named twice is deleted once",
         "rocket --url " + std::string(kRocket) + " --yes",
         0,
         {"These movies will be deleted:\n  rocket  arcade.example  " + std::string(kRocket) +
          "\ndeleted "},
         {kRocket}},
        {"the confirmation shows what would go before asking",
         "rocket < /dev/null",
         1,
         {"These movies will be deleted:\n  rocket  arcade.example  " + std::string(kRocket) + "\n",
          "not deleting without confirmation; pass --yes"},
         {}},
        {"--all is no way to delete", "--all --yes", 2, {"--all is for save"}, {}},
    };
    for (const DeleteCase& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempFolder temp;
        int status = 0;
        std::string out = Cli(temp, "demo '" + temp.path() + "/profile'", status);
        ASSERT_EQ(status, 0) << out;
        const std::string cache = temp / "profile/INetCache";
        std::multiset<std::string> expected = LiveAddresses(cache);
        for (const std::string& url : c.gone) {
            ASSERT_EQ(expected.count(url), 1u) << url;
            expected.erase(url);
        }
        out = Cli(temp, "delete --cache '" + cache + "' " + c.arguments, status);
        EXPECT_EQ(status, c.status) << out;
        ExpectShown(out, c.shown);
        EXPECT_EQ(LiveAddresses(cache), expected) << out;
        std::size_t deletedLines = 0;
        for (std::size_t at = out.find("deleted http"); at != std::string::npos;
             at = out.find("deleted http", at + 1)) {
            ++deletedLines;
        }
        EXPECT_EQ(deletedLines, c.gone.size()) << out;
    }
}

// One address cached in two containers, and a name and an address carrying control bytes.
TEST(CliDeleteTest, OneAddressTwiceAndNamesThatWouldDriveTheTerminal) {
    test::TempFolder temp;
    std::string cache;
    for (const char* container : {"Content.IE5", "Low/Content.IE5"}) {
        CacheProfileWriter writer(temp / "profile", indexdat::Flavour::kInternetExplorer, 7,
                                  container);
        ContentEntry game;
        game.url = "http://same.example/game.swf";
        game.body = "FWS\x06";
        game.extension = "swf";
        ASSERT_TRUE(test::Ok(writer.AddContent(game)));
        if (std::string(container) == "Content.IE5") {
            ContentEntry evil;
            evil.url = "http://evil.example/\x1b[2Jclear.swf";
            evil.nameBase = "evil\x1b]0;owned\x07";
            evil.body = "FWS\x06";
            evil.extension = "swf";
            ASSERT_TRUE(test::Ok(writer.AddContent(evil)));
        }
        ASSERT_TRUE(test::Ok(writer.Save()));
        cache = writer.cacheFolder();
    }
    ASSERT_EQ(LiveAddresses(cache).count("http://same.example/game.swf"), 2u);
    int status = 0;
    std::string out = Cli(temp, "delete --cache '" + cache + "' game --yes", status);
    EXPECT_EQ(status, 2) << out;
    EXPECT_NE(out.find("game: 2 movies have this name"), std::string::npos) << out;
    out = Cli(temp, "delete --cache '" + cache + "' --url http://same.example/game.swf --yes",
              status);
    EXPECT_EQ(status, 2) << out;
    EXPECT_NE(out.find("2 movies have this address; take them all with --all-matching"),
              std::string::npos)
        << out;
    // The two lines differ by their cached file, which is shown for that.
    EXPECT_NE(out.find("/INetCache/Content.IE5/"), std::string::npos) << out;
    EXPECT_NE(out.find("/INetCache/Low/Content.IE5/"), std::string::npos) << out;
    EXPECT_EQ(LiveAddresses(cache).count("http://same.example/game.swf"), 2u);
    // Listed, shown before asking, and reported deleted: never a raw control byte.
    const std::string evil = "'http://evil.example/\x1b[2Jclear.swf'";
    const struct {
        const char* what;  // the arguments hold the control bytes: not for the test's output
        std::string arguments;
        int status;
        std::string shown;
    } hostile[] = {
        {"the listing's name", "list", 0, "\nevil\\x1B]0;owned\\x07 "},
        {"the listing's address", "list", 0, " http://evil.example/\\x1B[2Jclear.swf\n"},
        {"the confirmation", "delete --url " + evil + " < /dev/null", 1,
         "  evil\\x1B]0;owned\\x07  evil.example  http://evil.example/\\x1B[2Jclear.swf\n"},
        {"the report", "delete --url " + evil + " --yes", 0,
         "deleted http://evil.example/\\x1B[2Jclear.swf\n"},
    };
    for (const auto& c : hostile) {
        SCOPED_TRACE(c.what);
        const std::size_t command = c.arguments.find(' ');
        out = Cli(temp,
                  c.arguments.substr(0, command) + " --cache '" + cache + "' " +
                      (command == std::string::npos ? "" : c.arguments.substr(command + 1)),
                  status);
        EXPECT_EQ(status, c.status);
        EXPECT_NE(out.find(c.shown), std::string::npos);
        EXPECT_EQ(out.find('\x1b'), std::string::npos);
        EXPECT_EQ(out.find('\x07'), std::string::npos);
    }
    out = Cli(
        temp,
        "delete --cache '" + cache + "' --url http://same.example/game.swf --all-matching --yes",
        status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(LiveAddresses(cache).count("http://same.example/game.swf"), 0u) << out;
}

// A read-only cache: delete says why and exits 1, and not one byte or mode changes.
void ExpectNothingWritten(const test::TempFolder& temp, const std::string& profile,
                          const std::string& cache, const std::string& extra,
                          const std::string& reason) {
    const auto before = Snapshot(profile);
    for (const char* arguments : {"rocket --yes", "intro --all-matching --yes",
                                  "--leftovers orphan --yes", "rocket < /dev/null"}) {
        SCOPED_TRACE(arguments);
        int status = 0;
        const std::string out =
            Cli(temp, "delete --cache '" + cache + "' " + extra + " " + arguments, status);
        EXPECT_EQ(status, 1) << out;
        EXPECT_NE(out.find("pellimor-cli: cannot delete: "), std::string::npos) << out;
        EXPECT_NE(out.find(reason), std::string::npos) << out;
        EXPECT_NE(out.find("; nothing deleted"), std::string::npos) << out;
        EXPECT_EQ(out.find("deleted http"), std::string::npos) << out;
        EXPECT_EQ(Snapshot(profile), before);
    }
}

TEST(CliDeleteTest, ReadOnlyCachesAreNeverWritten) {
    const struct {
        const char* what;
        std::string extra;
        bool removeWriteBits;
        std::string reason;
    } cases[] = {
        {"--read-only on a writable cache", "--read-only", false,
         "the cache was opened read-only (--read-only)"},
        // As root too: the mode bits decide, as the platform's own cache library does.
        {"a chmod -R a-w copy", "", true, "/index.dat is read-only"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.what) + (::geteuid() == 0 ? " (as root)" : ""));
        test::TempFolder temp;
        int status = 0;
        std::string out = Cli(temp, "demo '" + temp.path() + "/profile'", status);
        ASSERT_EQ(status, 0) << out;
        if (c.removeWriteBits) {
            test::RunCommand("chmod -R a-w '" + temp.path() + "/profile'", status);
            ASSERT_EQ(status, 0);
        }
        ExpectNothingWritten(temp, temp / "profile", temp / "profile/INetCache", c.extra, c.reason);
        // The same cache writable again deletes as usual.
        test::RunCommand("chmod -R u+w '" + temp.path() + "/profile'", status);
        out = Cli(temp, "delete --cache '" + temp.path() + "/profile/INetCache' rocket --yes",
                  status);
        EXPECT_EQ(status, 0) << out;
        EXPECT_EQ(LiveAddresses(temp / "profile/INetCache").count(kRocket), 0u);
    }
}

// A Windows partition mounted read-only, made here as a read-only bind mount of a demo cache.
TEST(CliDeleteTest, ReadOnlyMountIsNeverWritten) {
    test::TempFolder temp;
    int status = 0;
    std::string out = Cli(temp, "demo '" + temp.path() + "/profile'", status);
    ASSERT_EQ(status, 0) << out;
    test::MakeFolders(temp / "mounted");
    struct Unmount {
        std::string at;
        bool mounted = false;
        ~Unmount() {
            int ignored = 0;
            if (mounted) {
                test::RunCommand("umount '" + at + "' 2>&1", ignored);
            }
        }
    } mount{temp / "mounted"};
    out = test::RunCommand("mount --bind '" + temp.path() + "/profile' '" + mount.at + "' 2>&1",
                           status);
    if (status != 0) {
        GTEST_SKIP() << "no bind mount can be made here (needs root with CAP_SYS_ADMIN): " << out;
    }
    mount.mounted = true;
    out = test::RunCommand("mount -o remount,bind,ro '" + mount.at + "' 2>&1", status);
    if (status != 0) {
        GTEST_SKIP() << "the bind mount cannot be made read-only here: " << out;
    }
    ExpectNothingWritten(temp, temp / "profile", mount.at + "/INetCache", "", " cannot be written");
}

}  // namespace
}  // namespace pellimor

namespace pellimor {
namespace {

// The local file of the one record of url.
std::string FileOf(const std::string& cacheFolder, const std::string& url) {
    std::string path;
    IndexDatCache cache(cacheFolder, 1252);
    (void)cache.EnumerateRecords([&](const CacheRecord& r) {
        if (r.url == url && r.localFileName) {
            path = *r.localFileName;
        }
        return true;
    });
    return path;
}

// The cookies' and the history's containers are never written by a delete of a movie: one
// of them read-only does not stop it.
TEST(CliDeleteTest, OnlyTheContainersADeleteWritesMustBeWritable) {
    for (const char* readOnly : {"INetCookies", "History"}) {
        SCOPED_TRACE(readOnly);
        test::TempFolder temp;
        int status = 0;
        std::string out = Cli(temp, "demo '" + temp.path() + "/profile'", status);
        ASSERT_EQ(status, 0) << out;
        test::RunCommand("chmod -R a-w '" + temp.path() + "/profile/" + readOnly + "'", status);
        ASSERT_EQ(status, 0);
        const auto before = Snapshot(temp / ("profile/" + std::string(readOnly)));
        out = Cli(temp, "delete --cache '" + temp.path() + "/profile/INetCache' rocket --yes",
                  status);
        EXPECT_EQ(status, 0) << out;
        EXPECT_EQ(LiveAddresses(temp / "profile/INetCache").count(kRocket), 0u) << out;
        EXPECT_EQ(Snapshot(temp / ("profile/" + std::string(readOnly))), before);
        test::RunCommand("chmod -R u+w '" + temp.path() + "/profile'", status);
    }
}

// The entry goes but its file stays: the report says so and why, and the file is then
// among the leftovers.
TEST(CliDeleteTest, AnEntryWhoseFileStaysSaysWhy) {
    const struct {
        const char* what;
        std::function<void(const std::string&)> change;
        std::string why;
    } cases[] = {
        {"a file written after the entry",
         [](const std::string& file) {
             const timespec times[2] = {{1000000, 0}, {1000000, 0}};
             ::utimensat(AT_FDCWD, file.c_str(), times, 0);
         },
         " stays: its time no longer matches the entry's, so it may be another file of that "
         "name; it is listed among the leftover files now\n"},
        {"a read-only file", [](const std::string& file) { ::chmod(file.c_str(), 0444); },
         " stays: it is read-only; it is listed among the leftover files now\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempFolder temp;
        int status = 0;
        std::string out = Cli(temp, "demo '" + temp.path() + "/profile'", status);
        ASSERT_EQ(status, 0) << out;
        const std::string cache = temp / "profile/INetCache";
        const std::string file = FileOf(cache, kRocket);
        ASSERT_FALSE(file.empty());
        c.change(file);
        out = Cli(temp, "delete --cache '" + cache + "' rocket --yes", status);
        EXPECT_EQ(status, 0) << out;
        EXPECT_NE(out.find("\ndeleted " + std::string(kRocket) + "; its file " + file + c.why),
                  std::string::npos)
            << out;
        EXPECT_TRUE(fs::exists(file));
        EXPECT_EQ(LiveAddresses(cache).count(kRocket), 0u);
        out = Cli(temp, "list --cache '" + cache + "' --leftovers", status);
        EXPECT_NE(out.find(file), std::string::npos) << out;
    }
}

// A movie Chrome's block-file cache left in an f_ file goes from a folder that also holds
// another browser's cache: it is checked against its own cache's folder.
TEST(CliDeleteTest, ABlockFileCachesLeftoverGoesBesideAnotherBrowsersCache) {
    test::TempFolder temp;
    int status = 0;
    std::string out = Cli(temp, "demo '" + temp.path() + "/home/profile'", status);
    ASSERT_EQ(status, 0) << out;
    const std::string chrome = temp / "home/chrome/Cache";
    test::MakeFolders(temp / "home/chrome");
    test::RunCommand("cp -r '" + std::string(PELLIMOR_TEST_DATA) +
                         "/browsers/chromium-blockfile-partial' '" + chrome +
                         "' && chmod -R u+w '" + chrome + "'",
                     status);
    ASSERT_EQ(status, 0);
    test::WriteFile(chrome + "/f_0000ff", std::string("FWS\x08\x20\x00\x00\x00movie", 13));
    out = Cli(temp, "delete --cache '" + temp.path() + "/home' --leftovers f_0000ff --yes", status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("deleted " + chrome + "/f_0000ff\n"), std::string::npos) << out;
    EXPECT_FALSE(fs::exists(chrome + "/f_0000ff"));
}

}  // namespace
}  // namespace pellimor
