// Addresses as relative paths: decoded once, nothing that climbs, separates or is refused by
// a file system left standing, long names cut and kept apart.
#include <gtest/gtest.h>

#include "files/AddressPaths.h"
#include "files/ExportGame.h"

namespace pellimor {
namespace {

TEST(AddressPathTest, EachAddressHasOneSafePath) {
    const struct {
        std::string address;
        bool keepQuery;
        std::string path;
    } cases[] = {
        {"http://games.arcade.example/puzzle/levels/level1.swf", false,
         "games.arcade.example/puzzle/levels/level1.swf"},
        {"http://Games.Example:8080/a/b.swf", false, "games.example/a/b.swf"},
        {"https://user:pw@host.example/x.swf#frag", false, "host.example/x.swf"},
        {"http://host.example/getmovie.php?id=7", false, "host.example/getmovie.php"},
        {"http://host.example/getmovie.php?id=7", true, "host.example/getmovie.php%3Fid=7"},
        {"http://host.example/q.php?a=1/2&b=..", true, "host.example/q.php%3Fa=1%2F2&b=.."},
        {"http://host.example/dir/", false, "host.example/dir/index.html"},
        {"http://host.example", false, "host.example/index.html"},
        {"http://host.example/a%20b%C3%A9.swf", false, "host.example/a b\xC3\xA9.swf"},
        // Segments that climb, decoded or not, stay names.
        {"http://host.example/../../etc/passwd", false, "host.example/etc/passwd"},
        {"http://host.example/%2e%2e/%2E%2E/x.swf", false, "host.example/%2E%2E/%2E%2E/x.swf"},
        {"http://host.example/a/./b//c.swf", false, "host.example/a/b/c.swf"},
        {"http://host.example/%2e%2e%2f%2e%2e%2fx.swf", false, "host.example/..%2F..%2Fx.swf"},
        {"http://host.example/a%5c..%5cb.swf", false, "host.example/a%5C..%5Cb.swf"},
        {"http://host.example\\..\\..\\b.swf", false, "host.example/b.swf"},
        {"http://host.example/nul%00.swf", false, "host.example/nul%00.swf"},
        {"http://host.example/c%01%7f%3a%2a%3f%22%3c%3e%7c.swf", false,
         "host.example/c%01%7F%3A%2A%3F%22%3C%3E%7C.swf"},
        {"http://%2e%2e/x.swf", false, "%2E%2E/x.swf"},
        {"http://..%2f..%2f/x.swf", false, "..%2F..%2F/x.swf"},
        {"http://%2e/x.swf", false, "%2E/x.swf"},
        // '%' without two hex digits after it is a character.
        {"http://host.example/100%.swf", false, "host.example/100%.swf"},
    };
    for (const auto& c : cases) {
        const auto path = AddressPath(c.address, c.keepQuery);
        ASSERT_TRUE(path.ok()) << c.address << ": " << path.error();
        EXPECT_EQ(JoinedPath(*path), c.path) << c.address;
    }
}

TEST(AddressPathTest, AddressesWithoutAHostOrOfOtherSchemesHaveNone) {
    for (const std::string address :
         {"file:///etc/passwd", "http:///etc/x.swf", "javascript:alert(1)", "/abs/path.swf",
          "levels/level1.swf", "", "http://", "http://user@/x", "ftp://:21/x"}) {
        EXPECT_FALSE(AddressPath(address, false).ok()) << address;
    }
}

TEST(AddressPathTest, LongSegmentsAreCutKeepingExtensionAndStayApart) {
    const std::string a(4096, 'a');
    const auto one = AddressPath("http://h.example/" + a + "1.swf", false);
    const auto two = AddressPath("http://h.example/" + a + "2.swf", false);
    ASSERT_TRUE(one.ok() && two.ok());
    EXPECT_EQ(one->back().size(), kLongestPathSegment);
    EXPECT_EQ(one->back().substr(one->back().size() - 4), ".swf");
    EXPECT_NE(one->back(), two->back());
    // Never inside an escape or a UTF-8 sequence.
    std::string escapes;
    for (int i = 0; i < 400; ++i) {
        escapes += "%3A\xC3\xA9";
    }
    const auto cut = AddressPath("http://h.example/" + escapes, false);
    ASSERT_TRUE(cut.ok());
    EXPECT_LE(cut->back().size(), kLongestPathSegment);
    const std::string kept = cut->back().substr(0, cut->back().find('~'));
    EXPECT_EQ(kept.size() % 5, 0u) << kept;
    const auto host = AddressPath("http://" + std::string(300, 'h') + ".example/x", false);
    ASSERT_TRUE(host.ok());
    EXPECT_LE(host->front().size(), kLongestPathSegment);
}

TEST(AddressPathTest, NumberedNamesGoBeforeTheExtension) {
    EXPECT_EQ(NumberedFileName("level1.swf", 1), "level101.swf");
    EXPECT_EQ(NumberedFileName("data", 2), "data02");
    EXPECT_EQ(NumberedFileName(".hidden", 3), ".hidden03");
    EXPECT_EQ(NumberedFileName("a.b.xml", 12), "a.b12.xml");
    std::set<std::string> used;
    EXPECT_EQ(GameFolderName("intro", used), "intro");
    EXPECT_EQ(GameFolderName("intro", used), "intro01");
    EXPECT_EQ(GameFolderName("../..", used), "..%2F..");
    EXPECT_EQ(GameFolderName("..", used), "%2E%2E");
    EXPECT_EQ(GameFolderName("100%2e", used), "100%2e");
    EXPECT_EQ(GameFolderName("", used), "movie");
}

}  // namespace
}  // namespace pellimor
