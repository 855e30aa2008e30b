// The page a movie is played with: what a cached page's embedding gives the players, bounded,
// and the lookup read once per scan from a real cache in a temporary folder.
#include <gtest/gtest.h>

#include "files/MoviePage.h"
#include "platform/fileops/PosixFileOps.h"
#include "platform/urlcache/CacheWriter.h"
#include "platform/urlcache/IndexDatCache.h"
#include "support/Outcome.h"
#include "support/TempFolder.h"

namespace pellimor {
namespace {

const std::string kPage = "http://games.example/play/index.html";
const std::string kFolder = "http://games.example/play/";

PageEmbedding Embedded(std::string flashvars, std::string base, std::string width = "",
                       std::string height = "", std::string page = kPage) {
    return {page, "games.example",
            Embedding{"object", "main.swf", std::move(flashvars), std::move(base), std::move(width),
                      std::move(height)}};
}

TEST(PlayParameters, BaseIsThePagesOwnResolvedAgainstThePage) {
    const struct {
        std::string base;
        std::string expected;
    } cases[] = {
        {"", kFolder},  // none: relative addresses go by the page, as in a browser
        {".", kFolder},
        {"index.html", "http://games.example/play/index.html"},
        {"../assets/", "http://games.example/assets/"},
        {"https://cdn.example/game/", "https://cdn.example/game/"},
        {"javascript:alert(1)", kFolder},
        {"file:///etc/", kFolder},
        {"data:text/html,<script>", kFolder},
        {"http://" + std::string(kLongestPageAddress, 'a') + ".example/", kFolder},
    };
    for (const auto& c : cases) {
        const auto page = PlayParameters(Embedded("", c.base));
        ASSERT_TRUE(page) << c.base;
        EXPECT_EQ(page->base, c.expected) << c.base;
    }
}

TEST(PlayParameters, APageWithoutAWebAddressGivesNothing) {
    for (const std::string& address : std::vector<std::string>{
             "file:///home/ana/game.html", "javascript:x", "", "index.html", "http:/x.example/a",
             "http:x.example/a", "http://games.example/" + std::string(kLongestPageAddress, 'p')}) {
        EXPECT_FALSE(PlayParameters(Embedded("a=1", "", "1", "1", address))) << address;
    }
}

TEST(PlayParameters, FlashvarsAreCutAfterTheLastWholeParameter) {
    const std::string quoted = "name=\"'</script><script>alert(1)</script>&x=\\u2028";
    EXPECT_EQ(PlayParameters(Embedded(quoted, ""))->flashvars, quoted);

    std::string many;
    while (many.size() < kLongestFlashvars + 100) {
        many += "key=" + std::string(95, 'v') + "&";
    }
    const std::string cut = PlayParameters(Embedded(many, ""))->flashvars;
    EXPECT_LE(cut.size(), kLongestFlashvars);
    EXPECT_GT(cut.size(), kLongestFlashvars - 100);
    EXPECT_EQ(many.substr(0, cut.size() + 1), cut + "&");  // whole parameters only

    // One parameter longer than the bound: nothing of it.
    EXPECT_EQ(PlayParameters(Embedded("a=" + std::string(kLongestFlashvars, 'x'), ""))->flashvars,
              "");
    // Exactly at the bound: all of it.
    const std::string full = "a=" + std::string(kLongestFlashvars - 2, 'x');
    EXPECT_EQ(PlayParameters(Embedded(full, ""))->flashvars, full);
}

TEST(PlayParameters, SizeInWholePixelsOnly) {
    const struct {
        std::string width, height;
        int w, h;
    } cases[] = {
        {"320", "240", 320, 240}, {"320px", " 240 ", 320, 240}, {"100%", "240", 0, 0},
        {"", "", 0, 0},           {"0", "240", 0, 0},           {"-5", "240", 0, 0},
        {"8191", "1", 8191, 1},   {"8192", "240", 0, 0},        {"99999999999", "1", 0, 0},
        {"3e2", "240", 0, 0},     {"320.5", "240", 0, 0},       {"px", "240", 0, 0},
    };
    for (const auto& c : cases) {
        const auto page = PlayParameters(Embedded("", "", c.width, c.height));
        EXPECT_EQ(page->width, c.w) << c.width << " x " << c.height;
        EXPECT_EQ(page->height, c.h) << c.width << " x " << c.height;
    }
}

TEST(MoviePageText, NamesThePageAndWhatItGives) {
    auto page = PlayParameters(Embedded("level=levels/1.swf", "../", "320", "240"));
    EXPECT_EQ(MoviePageText(*page),
              "Sayfa (page): http://games.example/play/index.html\n"
              "Parametreler (flashvars): level=levels/1.swf\n"
              "Taban (base): http://games.example/\n"
              "Boyut (size): 320 x 240\n");
    page = PlayParameters(Embedded("", ""));
    EXPECT_EQ(MoviePageText(*page), "Sayfa (page): http://games.example/play/index.html\n");
}

TEST(MoviePageText, OneLineEachAndShort) {
    const auto page = PlayParameters(Embedded("a=1\nb=2\r\x7f" + std::string(1000, 'z'), ""));
    EXPECT_EQ(MoviePageText(*page), "Sayfa (page): " + kPage +
                                        "\nParametreler (flashvars): a=1 b=2  " +
                                        std::string(291, 'z') + "...\n");
    // Cut between characters, never inside one.
    std::string wide;
    while (wide.size() < 1000) {
        wide += "\xC3\xA7";  // ç
    }
    const std::string cut = MoviePageText(*PlayParameters(Embedded("#" + wide, "")));
    const std::size_t start = cut.find("#") + 1;
    const std::size_t end = cut.find("...\n");
    ASSERT_NE(end, std::string::npos);
    EXPECT_EQ((end - start) % 2, 0u) << cut;
}

// Read once, when first asked, and again only after a change; only a page of the movie's own
// site counts, and nothing without a cache or for an address that is no web address.
TEST(SharedMoviePages, ReadsTheCacheOnceUntilItChanges) {
    test::TempFolder temp;
    CacheProfileWriter writer(temp / "profile", indexdat::Flavour::kInternetExplorer, 7);
    ContentEntry movie;
    movie.url = "http://games.example/play/main.swf";
    movie.body = "FWS";
    movie.extension = "swf";
    EXPECT_TRUE(test::Ok(writer.AddContent(movie)));
    for (const auto& [url, body] : std::vector<std::pair<std::string, std::string>>{
             {kPage, "<embed src=\"main.swf\" flashvars=\"level=2\" width=\"640\" height=\"480\">"},
             {"http://elsewhere.example/index.html",
              "<embed src=\"http://games.example/play/other.swf\" flashvars=\"x=1\">"}}) {
        ContentEntry page;
        page.url = url;
        page.body = body;
        page.extension = "htm";
        page.headers = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n";
        EXPECT_TRUE(test::Ok(writer.AddContent(page)));
    }
    ASSERT_TRUE(test::Ok(writer.Save()));
    IndexDatCache cache(writer.cacheFolder(), 1252);
    PosixFileOps files;
    EXPECT_FALSE(SharedMoviePages(nullptr, &files).Find("http://games.example/play/main.swf"));
    EXPECT_FALSE(SharedMoviePages(&cache, nullptr).Find("http://games.example/play/main.swf"));
    SharedMoviePages pages(&cache, &files);
    EXPECT_FALSE(pages.Find("/home/ana/main.swf"));
    EXPECT_FALSE(pages.Find(""));
    EXPECT_EQ(pages.builds(), 0);  // nothing read before it is asked
    for (int i = 0; i < 3; ++i) {
        const auto page = pages.Find("http://games.example/play/main.swf");
        ASSERT_TRUE(page);
        EXPECT_EQ(page->pageUrl, kPage);
        EXPECT_EQ(page->flashvars, "level=2");
        EXPECT_EQ(page->width, 640);
        EXPECT_FALSE(pages.Find("http://games.example/play/other.swf"));
    }
    EXPECT_EQ(pages.builds(), 1);
    ASSERT_TRUE(cache.DeleteEntry(kPage).ok());
    EXPECT_TRUE(pages.Find("http://games.example/play/main.swf"));  // as read before
    pages.CacheChanged();
    EXPECT_EQ(pages.builds(), 1);
    EXPECT_FALSE(pages.Find("http://games.example/play/main.swf"));
    EXPECT_EQ(pages.builds(), 2);
}

}  // namespace
}  // namespace pellimor
