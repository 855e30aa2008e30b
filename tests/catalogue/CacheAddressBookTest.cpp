#include <gtest/gtest.h>

#include "catalogue/CacheAddressBook.h"
#include "support/FakeCache.h"

namespace pellimor {
namespace {

TEST(CanonicalAddress, SpellingsOfOneAddressMeet) {
    const struct {
        const char* written;
        const char* canonical;
    } rows[] = {
        {"HTTP://Flashtoons.Example/Episodes/ep1.swf",
         "http://flashtoons.example/Episodes/ep1.swf"},
        {"http://a.example:80/x.swf", "http://a.example/x.swf"},
        {"https://a.example:443/x", "https://a.example/x"},
        {"https://a.example:80/x", "https://a.example:80/x"},
        {"http://a.example:8080/x", "http://a.example:8080/x"},
        {"http://a.example:/x", "http://a.example/x"},
        {"http://a.example", "http://a.example/"},
        {"http://a.example?q=1", "http://a.example/?q=1"},
        {"http://a.example/my game.swf", "http://a.example/my%20game.swf"},
        {"http://a.example/x.swf#start", "http://a.example/x.swf"},
        {"http://a.example/\xC3\xA7.swf", "http://a.example/%C3%A7.swf"},
        {"http://a.example/%7Euser/a%2fb", "http://a.example/%7Euser/a%2fb"},
        {"http://a.example/q?name=\"x\"<y>", "http://a.example/q?name=%22x%22%3Cy%3E"},
        {"http://User:Pw@Host.example:80/x", "http://User:Pw@host.example/x"},
        {"http://[::1]:80/x", "http://[::1]/x"},
        {"http://u:p@h>81/a?b#c", "http://u:p@h%3E81/a?b"},
        {"http://My Host/a", "http://my%20host/a"},
        {"levels/level1.swf", "levels/level1.swf"},
        {"a b?c=http://x", "a%20b?c=http://x"},
        {"", ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(CanonicalAddress(row.written), row.canonical) << row.written;
    }
}

TEST(ContentTypeFromHeaders, ReadsTheMediaTypeOnly) {
    const struct {
        const char* headers;
        const char* type;
    } rows[] = {
        {"HTTP/1.1 200 OK\r\nContent-Type: Application/X-Shockwave-Flash\r\n\r\n",
         "application/x-shockwave-flash"},
        {"HTTP/1.1 200 OK\r\ncontent-type:text/xml; charset=utf-8\r\n", "text/xml"},
        {"HTTP/1.1 200 OK\nServer: x\nContent-Type:  image/png  \n", "image/png"},
        {"HTTP/1.1 200 OK\r\nX-Content-Type: text/html\r\n", ""},
        {"HTTP/1.1 200 OK\r\nContent-Type:\r\n", ""},
        {"", ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ContentTypeFromHeaders(row.headers), row.type) << row.headers;
    }
}

class CacheAddressBookTest : public ::testing::Test {
  protected:
    test::FakeCache cache;
    CacheAddressBook book;

    void Add(const std::string& url, const std::string& path, std::uint32_t type = 1,
             const std::string& headers = "") {
        cache.Add(url, path, type);
        cache.records.back().headers = headers;
    }
    std::string PathOf(const std::string& url) {
        const auto found = book.Find(url);
        return found ? found->localPath : "(none)";
    }
};

TEST_F(CacheAddressBookTest, AnswersAnAddressAsTheCacheHoldsIt) {
    Add("http://games.example/puzzle/levels/level1.swf", "/c/A/level1[1].swf", 1,
        "HTTP/1.1 200 OK\r\nContent-Type: application/x-shockwave-flash\r\n\r\n");
    Add("http://games.example/puzzle/levels/level1.swf", "/c/B/level1[2].swf");
    Add("http://games.example/data.xml?v=2", "/c/A/data[1].xml");
    Add("http://games.example/data.xml?v=3", "/c/B/data[2].xml");
    Add("http://games.example/bg.jpg", "/c/A/bg[1].jpg");
    Add("http://Games.Example/My Song.mp3", "/c/A/My Song[1].mp3");
    Add("Cookie:player@games.example/", "/c/player@games[1].txt", test::kCookieCacheEntry);
    Add("Visited: player@http://games.example/", "/c/h", test::kUrlHistoryCacheEntry);
    Add("http://games.example/nofile.swf", "");
    ASSERT_TRUE(book.Build(cache).ok());

    const struct {
        const char* asked;
        const char* answer;
    } rows[] = {
        {"http://games.example/puzzle/levels/level1.swf", "/c/A/level1[1].swf"},  // first wins
        {"http://games.example:80/puzzle/levels/level1.swf#x", "/c/A/level1[1].swf"},
        {"http://games.example/data.xml?v=3", "/c/B/data[2].xml"},  // exact before fallback
        {"http://games.example/data.xml?v=9", "/c/A/data[1].xml"},
        {"http://games.example/data.xml", "/c/A/data[1].xml"},
        {"http://games.example/bg.jpg?cache=1", "/c/A/bg[1].jpg"},
        {"http://games.example/My%20Song.mp3", "/c/A/My Song[1].mp3"},
        {"https://games.example/bg.jpg", "(none)"},
        {"Cookie:player@games.example/", "(none)"},
        {"Visited: player@http://games.example/", "(none)"},
        {"http://games.example/nofile.swf", "(none)"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(PathOf(row.asked), row.answer) << row.asked;
    }
    EXPECT_EQ(book.Find("http://games.example/puzzle/levels/level1.swf")->contentType,
              "application/x-shockwave-flash");
    EXPECT_EQ(book.Find("http://games.example/bg.jpg")->contentType, "");
    // Built again, the book forgets what the cache no longer holds.
    cache.records.clear();
    Add("http://a.example/y.swf", "/c/y.swf");
    ASSERT_TRUE(book.Build(cache).ok());
    EXPECT_EQ(PathOf("http://games.example/bg.jpg"), "(none)");
    EXPECT_EQ(PathOf("http://a.example/y.swf"), "/c/y.swf");
    EXPECT_EQ(book.size(), 1u);
}

}  // namespace
}  // namespace pellimor
