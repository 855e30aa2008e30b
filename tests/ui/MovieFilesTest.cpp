#include <gtest/gtest.h>

#include "support/FakeCache.h"
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
    files.SetMovie("/c/A/main[2].swf", "http://Games.Example/puzzle/main.swf");
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
    files.SetMovie("/c/A/orphan[1].swf", "/c/A/orphan[1].swf");
    EXPECT_FALSE(files.playsUnderAddress());
    EXPECT_EQ(PathOf(files.ForPath("/c/A/orphan[1].swf")), "/c/A/orphan[1].swf");
    EXPECT_EQ(PathOf(files.ForAddress("http://games.example/level1.swf")), "(none)");
    EXPECT_EQ(PathOf(files.ForPath("/c/B/level1[1].swf")), "(none)");
    EXPECT_EQ(files.cacheReads(), 0);
}

TEST(MovieFiles, EachMovieSeesTheCacheAsItIsThen) {
    test::FakeCache cache;
    cache.Add("http://a.example/level.swf", "/c/old.swf");
    MovieFiles files(&cache);
    files.SetMovie("/c/m.swf", "http://a.example/m.swf");
    EXPECT_EQ(PathOf(files.ForAddress("http://a.example/level.swf")), "/c/old.swf");
    cache.records.clear();
    cache.Add("http://a.example/level.swf", "/c/new.swf");
    EXPECT_EQ(PathOf(files.ForAddress("http://a.example/level.swf")), "/c/old.swf");
    files.SetMovie("/c/m.swf", "http://a.example/m.swf");  // the same movie again
    EXPECT_EQ(PathOf(files.ForAddress("http://a.example/level.swf")), "/c/new.swf");
    EXPECT_EQ(files.cacheReads(), 2);
}

TEST(MovieFiles, WithoutACacheOnlyTheMovieItself) {
    MovieFiles files(nullptr);
    EXPECT_EQ(PathOf(files.ForAddress("http://a.example/m.swf")), "(none)");  // nothing set
    files.SetMovie("/c/m.swf", "https://a.example/m.swf");
    EXPECT_EQ(PathOf(files.ForAddress("https://a.example/m.swf")), "/c/m.swf");
    EXPECT_EQ(PathOf(files.ForAddress("https://a.example/n.swf")), "(none)");
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
