// What a game's page names for its movie goes with the game: the plan both exports carry
// out takes the files the page's flashvars name where the cache holds them.
#include <gtest/gtest.h>

#include "app/SwfMaker.h"
#include "files/ExportRun.h"
#include "platform/urlcache/CacheWriter.h"
#include "support/TempFolder.h"

namespace pellimor {
namespace {

using test::Export;

// A page whose flashvars name files the movie does not (relative to the page's folder, as
// Flash Player took them): those the cache holds go with the game into content/ and into
// the web archive, confined like every load; a movie among them has its own loads followed;
// values naming nothing cached are no missing files.
TEST(ExportGameOwnCacheTest, FilesOnlyThePageNamesGoWithTheGame) {
    test::TempFolder temp;
    CacheProfileWriter writer(temp / "profile", indexdat::Flavour::kInternetExplorer, 5);
    MovieDesign main;
    main.loadMovie = "levels/level1.swf";
    main.loadParameter = "level";
    MovieDesign level2;
    level2.loadMovie = "bonus.swf";
    const std::string site = "http://site.example/g/";
    const struct {
        std::string address;
        std::string body;
        std::string content;  // where it goes below the game's content/; empty: not a file
    } files[] = {
        {site + "main.swf", MakeSwfMovie(main), "site.example/g/main.swf"},
        {site + "levels/level1.swf", MakeSwfMovie({}), "site.example/g/levels/level1.swf"},
        {site + "levels/level2.swf", MakeSwfMovie(level2), "site.example/g/levels/level2.swf"},
        {site + "levels.xml", "<levels/>", "site.example/g/levels.xml"},
        {"http://cdn.example/conf.xml", "<conf/>", "cdn.example/conf.xml"},
        {"http://site.example/up.xml", "up", "site.example/up.xml"},
        {site + "%2e%2e%2fesc.xml", "esc", "site.example/g/..%2Fesc.xml"},
        {site + "levels/bonus.swf", MakeSwfMovie({}), "site.example/g/levels/bonus.swf"},
        {"http://site.example/play.html",
         "<object data=\"g/main.swf\"><param name=\"movie\" value=\"g/main.swf\">"
         "<param name=\"flashvars\" value=\"level=g/levels/level2.swf&amp;data=g/levels.xml&amp;"
         "cfg=http%3A%2F%2Fcdn.example%2Fconf.xml&amp;up=../../../../up.xml&amp;"
         "esc=g/%252e%252e%252fesc.xml&amp;n=1&amp;same=g/levels/level1.swf%3Fv%3D2&amp;"
         "gone=g/nothere.xml&amp;empty=\"></object>",
         "site.example/play.html"},
    };
    for (const auto& f : files) {
        ContentEntry c;
        c.url = f.address;
        c.body = f.body;
        c.extension = f.address.ends_with(".swf") ? "swf" : "htm";
        c.nameBase = "f";
        c.headers = f.address.ends_with(".html")
                        ? "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n"
                        : "HTTP/1.1 200 OK\r\n\r\n";
        const auto added = writer.AddContent(c);
        ASSERT_TRUE(added.ok()) << f.address << added.error();
    }
    const Status saved = writer.Save();
    ASSERT_TRUE(saved.ok()) << saved.error();
    Export run(writer.cacheFolder(), temp / "out");
    const auto movie = run.Movie(site + "main.swf");
    ASSERT_TRUE(movie);
    const auto done = run.Run(*movie);
    ASSERT_TRUE(done.ok()) << done.error();
    EXPECT_TRUE(done->playable);
    EXPECT_TRUE(done->missing.empty()) << done->missing.front();
    EXPECT_EQ(done->files, std::size(files));
    std::vector<std::string> expected;
    for (const auto& f : files) {
        SCOPED_TRACE(f.address);
        EXPECT_TRUE(test::ReadFile(temp / ("out/" + done->folder + "/content/" + f.content)) ==
                    f.body);
        expected.push_back(f.address);
    }
    // The web archive takes the same files, in the same order.
    EXPECT_EQ(run.ArchivedAddresses(*movie), expected);
}

}  // namespace
}  // namespace pellimor
