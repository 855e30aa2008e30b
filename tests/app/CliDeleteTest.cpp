// pellimor-cli delete, end to end on real caches: it deletes exactly the movies the user
// named, shows them before asking, and never writes a read-only cache.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <functional>
#include <set>

#include "app/CliRun.h"
#include "platform/urlcache/CacheWriter.h"
#include "platform/urlcache/IndexDatCache.h"
#include "support/Outcome.h"

namespace pellimor {
namespace {

using test::Has;

constexpr const char* kRocket = "http://www.arcade.example/games/rocket.swf";
constexpr const char* kSnake = "http://www.arcade.example/games/snake.swf";
constexpr const char* kArcadeIntro = "http://www.arcade.example/intro.swf";
constexpr const char* kCartoonsIntro = "http://cartoons.example/intro.swf";

// Every live record of the cache that has a file: its address, twice for two records.
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

// A fresh demo profile in temp; its cache folder.
std::string Demo(const test::TempFolder& temp) {
    const test::Ran demo = test::Cli(temp.path(), "demo '" + temp / "profile" + "'");
    EXPECT_EQ(demo.status, 0) << demo.out;
    return temp / "profile/INetCache";
}

test::Ran Delete(const test::TempFolder& temp, const std::string& cache,
                 const std::string& arguments) {
    return test::Cli(temp.path(), "delete --cache '" + cache + "' " + arguments);
}

struct DeleteCase {
    const char* what;
    std::string arguments;  // after "delete --cache DIR"
    int status;
    std::vector<std::string> shown;  // texts the output holds
    std::vector<std::string> gone;   // the addresses deleted; every other one stays
};

// (What a refused delete says: CliConventionsTest.)
std::vector<DeleteCase> NamedCases() {
    return {
        {"a site matches whatever its letter case, as the window's list does",
         "--site ARCADE snake --yes",
         0,
         {"deleted http://www.arcade.example/games/snake.swf"},
         {"http://www.arcade.example/games/snake.swf"}},
        {"a site no item begins with narrows a name to the sites containing it",
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
        {"a movie named twice is deleted once",
         "rocket --url " + std::string(kRocket) + " --yes",
         0,
         {"These movies will be deleted:\n  rocket  arcade.example  " + std::string(kRocket) +
          "\ndeleted "},
         {kRocket}},
        {"the confirmation shows what would go before asking, with nothing to answer on",
         "rocket",
         1,
         {"These movies will be deleted:\n  rocket  arcade.example  " + std::string(kRocket) + "\n",
          "not deleting without confirmation; pass --yes"},
         {}},
    };
}

TEST(CliDeleteTest, DeletesExactlyWhatWasNamed) {
    for (const DeleteCase& c : NamedCases()) {
        SCOPED_TRACE(c.what);
        test::TempFolder temp;
        const std::string cache = Demo(temp);
        std::multiset<std::string> expected = LiveAddresses(cache);
        for (const std::string& url : c.gone) {
            ASSERT_EQ(expected.erase(url), 1u) << url;
        }
        const test::Ran ran = Delete(temp, cache, c.arguments);
        EXPECT_EQ(ran.status, c.status) << ran.out;
        for (const std::string& text : c.shown) {
            EXPECT_TRUE(Has(ran.out, text)) << "missing: " << text << "\nin:\n" << ran.out;
        }
        EXPECT_EQ(LiveAddresses(cache), expected) << ran.out;
        EXPECT_EQ(test::Count(ran.out, "deleted http"), c.gone.size()) << ran.out;
    }
}

// One address cached in two containers: named by it, the two are told apart by their files.
// (Names and addresses that would drive the terminal: CliColumnsTest.)
TEST(CliDeleteTest, OneAddressCachedTwice) {
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
        ASSERT_TRUE(test::Ok(writer.Save()));
        cache = writer.cacheFolder();
    }
    const std::string same = "http://same.example/game.swf";
    ASSERT_EQ(LiveAddresses(cache).count(same), 2u);
    test::Ran ran = Delete(temp, cache, "--url " + same + " --yes");
    EXPECT_EQ(ran.status, 2) << ran.out;
    EXPECT_TRUE(Has(ran.out, "2 movies have this address; take them all with --all-matching"))
        << ran.out;
    // The two lines differ by their cached file, which is shown for that.
    EXPECT_TRUE(Has(ran.out, "/INetCache/Content.IE5/")) << ran.out;
    EXPECT_TRUE(Has(ran.out, "/INetCache/Low/Content.IE5/")) << ran.out;
    EXPECT_EQ(LiveAddresses(cache).count(same), 2u);
    ran = Delete(temp, cache, "--url " + same + " --all-matching --yes");
    EXPECT_EQ(ran.status, 0) << ran.out;
    EXPECT_EQ(LiveAddresses(cache).count(same), 0u) << ran.out;
}

// A read-only cache: delete says why and exits 1, and not one byte or mode changes.
void ExpectNothingWritten(const test::TempFolder& temp, const std::string& profile,
                          const std::string& cache, const std::string& extra,
                          const std::string& reason) {
    const auto before = test::Snapshot(profile);
    for (const char* arguments : {"rocket --yes", "--leftovers orphan --yes"}) {
        SCOPED_TRACE(arguments);
        const test::Ran ran = Delete(temp, cache, extra + " " + arguments);
        EXPECT_EQ(ran.status, 1) << ran.out;
        EXPECT_TRUE(Has(ran.out, "pellimor-cli: cannot delete: ")) << ran.out;
        EXPECT_TRUE(Has(ran.out, reason)) << ran.out;
        EXPECT_TRUE(Has(ran.out, "; nothing deleted")) << ran.out;
        EXPECT_FALSE(Has(ran.out, "deleted http")) << ran.out;
        EXPECT_EQ(test::Snapshot(profile), before);
    }
}

// Opened --read-only, delete says why and nothing changes. The cookies' container made
// read-only (the mode bits decide, also as root) stops no delete of a movie, nor is written.
TEST(CliDeleteTest, ReadOnlyCachesAreNeverWritten) {
    test::TempFolder temp;
    const std::string cache = Demo(temp);
    ExpectNothingWritten(temp, temp / "profile", cache, "--read-only",
                         "the cache was opened read-only (--read-only)");
    const std::string cookies = temp / "profile/INetCookies";
    int status = 0;
    test::RunCommand("chmod -R a-w '" + cookies + "'", status);
    ASSERT_EQ(status, 0);
    const auto before = test::Snapshot(cookies);
    const test::Ran ran = Delete(temp, cache, "rocket --yes");
    EXPECT_EQ(ran.status, 0) << ran.out;
    EXPECT_EQ(LiveAddresses(cache).count(kRocket), 0u) << ran.out;
    EXPECT_EQ(test::Snapshot(cookies), before);
    test::RunCommand("chmod -R u+w '" + cookies + "'", status);
}

// A Windows partition mounted read-only, made here as a read-only bind mount of a demo cache.
TEST(CliDeleteTest, ReadOnlyMountIsNeverWritten) {
    test::TempFolder temp;
    Demo(temp);
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
    int status = 0;
    std::string out = test::RunCommand(
        "mount --bind '" + temp.path() + "/profile' '" + mount.at + "' 2>&1", status);
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

// The entry goes but its file stays: the report says so and why.
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
        const std::string cache = Demo(temp);
        const std::string file = test::CachedFile(cache, "rocket");
        ASSERT_FALSE(file.empty());
        c.change(file);
        const test::Ran ran = Delete(temp, cache, "rocket --yes");
        EXPECT_EQ(ran.status, 0) << ran.out;
        EXPECT_TRUE(
            Has(ran.out, "\ndeleted " + std::string(kRocket) + "; its file " + file + c.why))
            << ran.out;
        EXPECT_TRUE(test::FileExists(file));
        EXPECT_EQ(LiveAddresses(cache).count(kRocket), 0u);
    }
}

// A movie Chrome's block-file cache left in an f_ file goes from a folder that also holds
// another browser's cache: it is checked against its own cache's folder.
TEST(CliDeleteTest, ABlockFileCachesLeftoverGoesBesideAnotherBrowsersCache) {
    test::TempFolder temp;
    ASSERT_EQ(test::Cli(temp.path(), "demo '" + temp / "home/profile" + "'").status, 0);
    const std::string chrome = temp / "home/chrome/Cache";
    test::MakeFolders(temp / "home/chrome");
    test::CopyTree(std::string(PELLIMOR_TEST_DATA) + "/browsers/chromium-blockfile-partial",
                   chrome);
    int status = 0;
    test::RunCommand("chmod -R u+w '" + chrome + "'", status);
    ASSERT_EQ(status, 0);
    test::WriteFile(chrome + "/f_0000ff", std::string("FWS\x08\x20\x00\x00\x00movie", 13));
    const test::Ran ran = Delete(temp, temp / "home", "--leftovers f_0000ff --yes");
    EXPECT_EQ(ran.status, 0) << ran.out;
    EXPECT_TRUE(Has(ran.out, "deleted " + chrome + "/f_0000ff\n")) << ran.out;
    EXPECT_FALSE(test::FileExists(chrome + "/f_0000ff"));
}

}  // namespace
}  // namespace pellimor
