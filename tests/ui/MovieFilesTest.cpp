#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/fileops/PosixFileOps.h"
#include "support/FakeCache.h"
#include "support/TempFolder.h"
#include "ui/player/MovieFiles.h"

namespace pellimor {
namespace {

std::string PathOf(const std::optional<CachedFile>& file) {
    return file ? file->localPath : "(none)";
}

TEST(MovieFiles, AMovieWithAnAddressReadsItselfAndTheCache) {
    test::FakeCache cache;
    cache.Add("http://games.example/puzzle/main.swf", "/c/A/main[1].swf");
    cache.Add("http://games.example/puzzle/levels/level1.swf", "/c/B/level1[1].swf");
    cache.Add("http://other.example/x.swf", "/c/A/x[1].swf");
    MovieFiles files(&cache);
    // The movie shown is read from the path it was set with, whatever the cache says.
    files.SetMovie(CachedFile{"/c/A/main[2].swf", {}, {}, {}},
                   "http://Games.Example/puzzle/main.swf");
    EXPECT_TRUE(files.playsUnderAddress());
    const struct {
        const char* asked;
        const char* answer;
    } rows[] = {
        {"http://games.example/puzzle/main.swf", "/c/A/main[2].swf"},
        {"http://games.example/puzzle/main.swf#top", "/c/A/main[2].swf"},
        {"http://games.example/puzzle/levels/level1.swf", "/c/B/level1[1].swf"},
        {"http://games.example/puzzle/levels/level1.swf?nocache=7", "/c/B/level1[1].swf"},
        {"http://other.example/x.swf", "/c/A/x[1].swf"},
        {"http://games.example/puzzle/levels/level2.swf", "(none)"},
        {"file:///etc/passwd", "(none)"},
        {"/c/A/x[1].swf", "(none)"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(PathOf(files.ForAddress(row.asked)), row.answer) << row.asked;
    }
    EXPECT_EQ(PathOf(files.ForPath("/c/A/main[2].swf")), "/c/A/main[2].swf");
    EXPECT_EQ(PathOf(files.ForPath("/c/B/level1[1].swf")), "(none)");
    EXPECT_EQ(PathOf(files.ForPath("/etc/passwd")), "(none)");
    EXPECT_EQ(files.cacheReads(), 1);
}

TEST(MovieFiles, ALeftoverReadsOnlyItself) {
    test::FakeCache cache;
    cache.Add("http://games.example/level1.swf", "/c/B/level1[1].swf");
    MovieFiles files(&cache);
    files.SetMovie(CachedFile{"/c/A/orphan[1].swf", {}, {}, {}}, "/c/A/orphan[1].swf");
    EXPECT_FALSE(files.playsUnderAddress());
    EXPECT_EQ(PathOf(files.ForPath("/c/A/orphan[1].swf")), "/c/A/orphan[1].swf");
    EXPECT_EQ(PathOf(files.ForAddress("http://games.example/level1.swf")), "(none)");
    EXPECT_EQ(PathOf(files.ForPath("/c/B/level1[1].swf")), "(none)");
    EXPECT_EQ(files.cacheReads(), 0);
}

// A player's movies are answered from one reading of the cache, until the cache changes.
// (Players sharing one book, the preview and the pop-out: the pop-out tests.)
TEST(MovieFiles, EveryMovieSharesOneReadOfTheCacheUntilItChanges) {
    test::FakeCache cache;
    cache.Add("http://a.example/level.swf", "/c/old.swf");
    MovieFiles files(&cache);
    for (const char* movie : {"http://a.example/m.swf", "http://a.example/n.swf"}) {
        files.SetMovie(CachedFile{"/c/m.swf", {}, {}, {}}, movie);
        EXPECT_EQ(PathOf(files.ForAddress("http://a.example/level.swf")), "/c/old.swf");
        cache.records.clear();
        cache.Add("http://a.example/level.swf", "/c/new.swf");
    }
    EXPECT_EQ(files.cacheReads(), 1);
    // A scan, a refresh or a delete: the next load reads the cache as it is now.
    files.addresses().CacheChanged();
    EXPECT_EQ(files.cacheReads(), 1);
    EXPECT_EQ(PathOf(files.ForAddress("http://a.example/level.swf")), "/c/new.swf");
    EXPECT_EQ(files.cacheReads(), 2);
}

TEST(MovieFiles, ReadsOnlyRegularFilesWithinTheCacheFolder) {
    test::TempFolder temp;
    test::MakeFolders(temp / "cache/A");
    test::WriteFile(temp / "cache/A/main[1].swf", "FWS main");
    test::WriteFile(temp / "cache/A/level[1].swf", "FWS level");
    test::WriteFile(temp / "passwd", "root:x:0:0");
    ASSERT_EQ(::symlink((temp / "passwd").c_str(), (temp / "cache/A/data[1].swf").c_str()), 0);
    ASSERT_EQ(::mkfifo((temp / "cache/A/pipe[1].swf").c_str(), 0644), 0);
    test::FakeCache cache;
    for (const char* name : {"level", "data", "pipe"}) {
        cache.Add("http://g.example/" + std::string(name) + ".swf",
                  temp / ("cache/A/" + std::string(name) + "[1].swf"));
    }
    PosixFileOps confined;
    ASSERT_TRUE(confined.ConfineTo(temp / "cache"));
    MovieFiles files(&cache, &confined);
    files.SetMovie(CachedFile{temp / "cache/A/main[1].swf", {}, {}, {}},
                   "http://g.example/main.swf");
    const struct {
        const char* address;
        const char* bytes;  // nullptr: refused
    } rows[] = {{"http://g.example/main.swf", "FWS main"},
                {"http://g.example/level.swf", "FWS level"},
                {"http://g.example/data.swf", nullptr},   // a link to a file outside
                {"http://g.example/pipe.swf", nullptr}};  // a FIFO: refused, not waited on
    for (const auto& row : rows) {
        const auto found = files.ForAddress(row.address);
        ASSERT_TRUE(found) << row.address;
        const auto bytes = files.Read(*found);
        EXPECT_EQ(bytes.ok(), row.bytes != nullptr) << row.address << ": " << bytes.error();
        if (row.bytes != nullptr && bytes) {
            EXPECT_EQ(*bytes, row.bytes);
        } else {
            EXPECT_FALSE(bytes.error().empty()) << row.address;
        }
    }
}

TEST(IsWebAddress, OnlyTheWebsSchemes) {
    const struct {
        const char* address;
        bool web;
    } rows[] = {{"http://a.example/x.swf", true},
                {"HTTPS://a.example/", true},
                {"ftp://a.example/x.swf", true},
                {"http://", false},
                {"file:///tmp/x.swf", false},
                {"/home/u/x.swf", false},
                {"httpx://a", false},
                {"", false}};
    for (const auto& row : rows) {
        EXPECT_EQ(IsWebAddress(row.address), row.web) << row.address;
    }
}

}  // namespace
}  // namespace pellimor
