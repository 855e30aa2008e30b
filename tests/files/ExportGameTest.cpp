// Export of a game whole, on real caches in temporary folders: the demo's WinINet cache and
// hostile caches written here (the caches real browsers made are exported through
// pellimor-cli in BrowserCachesTest). Every meta.yaml is read back with Python's yaml.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "app/DemoCache.h"
#include "catalogue/SwfBuilder.h"
#include "files/AddressPaths.h"
#include "files/ExportRun.h"
#include "platform/urlcache/CacheWriter.h"
#include "support/Outcome.h"
#include "support/TempFolder.h"

namespace pellimor {
namespace {

namespace fs = std::filesystem;
using test::Export;
using test::Tree;
using test::Yaml;

const std::string kPuzzle = "http://games.arcade.example/puzzle/main.swf";
const std::string kLevel = "http://games.arcade.example/puzzle/levels/level1.swf";
constexpr std::uint64_t kFileTime2009 = 129000000000000000ULL;  // October 2009

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string BodyOf(Export& run, const std::string& url) {
    const auto movie = run.Movie(url);
    return movie ? test::ReadFile(movie->localPath) : "(not listed)";
}

// The puzzle goes with its level and the page that gives it its flashvars, under their
// addresses; the archive's launcher gives the movie its flashvars only through its page.
// Exported again, what is the same is kept and what differs is numbered.
TEST(ExportGameTest, ThePuzzleGoesWithItsLevelAndItsPageAndAgainKeepsWhatIsThere) {
    test::TempFolder temp;
    const auto cache = MakeDemoCache(temp / "profile");
    ASSERT_TRUE(cache) << cache.error();
    Export run(*cache, temp / "out");
    const auto done = run.Run(kPuzzle);
    ASSERT_TRUE(done.ok()) << done.error();
    const std::string game = temp / "out/main";
    const std::string content = game + "/content/games.arcade.example/puzzle/";
    EXPECT_EQ(test::ReadFile(content + "main.swf"), BodyOf(run, kPuzzle));
    EXPECT_EQ(test::ReadFile(content + "levels/level1.swf"), BodyOf(run, kLevel));
    // The demo dates its entries from 2009-03-14 on, one day apart, in its own order.
    EXPECT_EQ(Yaml(game + "/meta.yaml",
                   R"(([d[k] for k in ("Title", "Source", "Launch Command", "Primary Platform",
                   "Status", "Export Notes")] + [d["Release Date"][:5], len(d["Release Date"])]
                   + [d["SWF Facts"][k] for k in ("Signature", "Truncated")]
                   + [d["Embedding Page"][k] for k in ("Embedded With", "Flashvars")]
                   + [f["Path"] for f in d["Cached Files"]]))"),
              "['main', 'http://games.arcade.example/puzzle/index.html', "
              "'http://games.arcade.example/puzzle/index.html', 'Flash', 'Playable', '', "
              "'2009-', 10, 'FWS', 'no', 'object', 'level=levels/level1.swf?v=2', "
              "'content/games.arcade.example/puzzle/main.swf', "
              "'content/games.arcade.example/puzzle/levels/level1.swf', "
              "'content/games.arcade.example/puzzle/index.html']");
    // Someone's own level where the cached one would go: kept, and the cached one beside it.
    ASSERT_EQ(::unlink((content + "levels/level1.swf").c_str()), 0);
    test::WriteFile(content + "levels/level1.swf", "my own level");
    Export again(*cache, temp / "out");
    const auto second = again.Run(kPuzzle);
    ASSERT_TRUE(second.ok()) << second.error();
    EXPECT_EQ(test::ReadFile(content + "levels/level1.swf"), "my own level");
    EXPECT_EQ(test::ReadFile(content + "levels/level101.swf"), BodyOf(again, kLevel));
    EXPECT_EQ(test::VisibleNames(content),
              (std::vector<std::string>{"index.html", "levels", "main.swf"}));
    // Its meta.yaml differs from the first one's (its note), so it too takes a number.
    EXPECT_EQ(second->metaFile, "meta01.yaml");
    EXPECT_EQ(Yaml(game + "/meta.yaml", "d[\"Export Notes\"]"), "");
    EXPECT_EQ(Yaml(game + "/meta01.yaml", R"([d["Export Notes"], d["Cached Files"][1]["Path"]])"),
              "['A different file was already there: level1.swf is written as "
              "content/games.arcade.example/puzzle/levels/level101.swf.', "
              "'content/games.arcade.example/puzzle/levels/level101.swf']");
}

// A cache of this test's own: a page with <object>, <param>s and swfobject; a movie whose
// address carries a query another cached file differs from it by.
TEST(ExportGameOwnCacheTest, ParametersOfThePageAndQueriesThatTellFilesApart) {
    test::TempFolder temp;
    CacheProfileWriter writer(temp / "profile", indexdat::Flavour::kInternetExplorer, 7);
    const std::string movie = test::Fws(test::SwfTag(
        12, test::ConstantPool({"data.php?level=2", "snd/music.mp3", "data.php?level=3"}) +
                test::Action(0, "")));
    const std::string swfHeaders =
        "HTTP/1.1 200 OK\r\nContent-Type: application/x-shockwave-flash\r\n";
    // A movie the cache gives no date for, whose metadata says when it was made.
    const std::string undated = test::Fws(
        test::SwfTag(69, test::Le32(0x10)) +
        test::SwfTag(77, test::Z("<rdf:Description xmp:CreateDate=\"2007-05-04T10:00:00Z\"/>"),
                     true));
    const struct {
        std::string url, body, extension, headers;
        std::uint64_t lastModified;
    } entries[] = {
        {"http://site.example/g/game.swf", movie, "swf",
         swfHeaders + "Last-Modified: Wed, 24 Jun 2009 12:30:00 GMT\r\n\r\n", kFileTime2009},
        {"http://site.example/g/data.php?level=1", "one", "htm", "", kFileTime2009},
        {"http://site.example/g/data.php?level=2", "two", "htm", "", kFileTime2009},
        {"http://site.example/play.html",
         "<html lang=\"pt-BR\"><object width=\"640\" height=\"480\"><param name=\"movie\" "
         "value=\"g/game.swf\"><param name=\"FlashVars\" value=\"a=1&amp;b=2\">"
         "<param name=base value=\"http://site.example/g/\"></object></html>",
         "htm", "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n", kFileTime2009},
        {"http://site.example/g/undated.swf", undated, "swf",
         swfHeaders + "Content-Language: de-AT, en\r\n\r\n", 0},
    };
    for (const auto& e : entries) {
        ContentEntry c;
        c.url = e.url;
        c.body = e.body;
        c.extension = e.extension;
        c.headers = e.headers;
        c.lastModified = e.lastModified;
        ASSERT_TRUE(test::Ok(writer.AddContent(c)));
    }
    ASSERT_TRUE(test::Ok(writer.Save()));
    const auto before = Tree(writer.cacheFolder());
    Export run(writer.cacheFolder(), temp / "out");
    const auto done = run.Run("http://site.example/g/game.swf");
    ASSERT_TRUE(done.ok()) << done.error();
    EXPECT_TRUE(done->notReady.size() == 1 && Has(done->notReady[0], "no Tags"))
        << done->notReady[0];
    // The movie's own query-less address stays a plain name, and no folder is made for what is
    // missing; the page goes with the movie, which takes flashvars and so is launched through it.
    const std::string content = temp / "out/game/content/site.example/";
    EXPECT_EQ(test::VisibleNames(content + "g"),
              (std::vector<std::string>{"data.php%3Flevel=2", "game.swf"}));
    EXPECT_EQ(test::ReadFile(content + "g/data.php%3Flevel=2"), "two");
    EXPECT_EQ(test::ReadFile(content + "g/game.swf"), movie);
    EXPECT_TRUE(test::FileExists(content + "play.html"));
    // level=3 is not cached; of the two that are, neither stands in for it. The date as the
    // server sent it; languages as the cache says them: the page's lang,
    // else the server's Content-Language.
    EXPECT_EQ(Yaml(temp / "out/game/meta.yaml",
                   R"([d[k] for k in ("Release Date", "Status", "Export Notes", "Languages",
                   "Launch Command", "Embedding Page")])"),
              "['2009-06-24', 'Partial', 'Missing: http://site.example/g/snd/music.mp3\\nMissing: "
              "http://site.example/g/data.php?level=3', 'pt', 'http://site.example/play.html', "
              "{'Address': 'http://site.example/play.html', 'Embedded With': 'object', "
              "'Flashvars': 'a=1&b=2', 'Base': 'http://site.example/g/', 'Width': '640', "
              "'Height': '480'}]");
    ASSERT_TRUE(run.Run("http://site.example/g/undated.swf").ok());
    EXPECT_EQ(Yaml(temp / "out/undated/meta.yaml", R"([d["Release Date"], d["Languages"]])"),
              "['2007-05-04', 'de; en']");
    EXPECT_EQ(Tree(writer.cacheFolder()), before) << "export changed the cache";
}

// Addresses that try to leave the export folder, as what a movie loads, into a folder where
// links and a FIFO wait (the escapes each address may hold: AddressPathTest).
TEST(ExportGameHostileTest, NothingIsWrittenOutsideTheExportFolder) {
    test::TempFolder temp;
    CacheProfileWriter writer(temp / "profile", indexdat::Flavour::kInternetExplorer, 11);
    const std::string longName(4096, 'x');
    const std::vector<std::string> loads = {
        "../../../../escape1.swf",
        "%2e%2e/%2e%2e/%2e%2e/escape2.swf",
        "http://evil.example/nul%00byte.swf",
        "http://evil.example/" + longName + ".swf",
        "http://evil.example/sub/target.swf",
    };
    std::string tags;
    for (const std::string& l : loads) {
        tags += test::PushStrings({l});
    }
    const std::string movie = test::Fws(test::SwfTag(12, tags + test::Action(0, "")));
    std::vector<std::string> cached = {"http://evil.example/game/main.swf"};
    for (const std::string& l : loads) {
        cached.push_back(l.rfind("http", 0) == 0 ? l : "http://evil.example/game/" + l);
    }
    for (const std::string& url : cached) {
        ContentEntry c;
        c.url = url;
        c.body = url == cached.front() ? movie : "payload";
        c.extension = "swf";
        c.nameBase = url == cached.front() ? "main" : "m";
        c.headers = "HTTP/1.1 200 OK\r\nContent-Type: application/x-shockwave-flash\r\n\r\n";
        ASSERT_TRUE(test::Ok(writer.AddContent(c))) << url;
    }
    ASSERT_TRUE(test::Ok(writer.Save()));
    test::MakeFolders(temp / "outside");
    // A link planted where a folder of the export would go.
    test::MakeFolders(temp / "out/main/content/evil.example");
    ASSERT_EQ(
        ::symlink((temp / "outside").c_str(), (temp / "out/main/content/evil.example/sub").c_str()),
        0);
    // A link to a file outside, and a FIFO, where files of the export would go.
    test::WriteFile(temp / "outside/victim.swf", "victim");
    test::MakeFolders(temp / "out/main/content/evil.example/game");
    ASSERT_EQ(::symlink((temp / "outside/victim.swf").c_str(),
                        (temp / "out/main/content/evil.example/game/main.swf").c_str()),
              0);
    ASSERT_EQ(::mkfifo((temp / "out/main/content/evil.example/nul%00byte.swf").c_str(), 0600), 0);
    const auto before = Tree(temp.path());
    Export run(writer.cacheFolder(), temp / "out");
    for (const SwfEntry& m : run.Movies()) {
        const auto done = run.Run(m);
        (void)done;  // some may fail: what matters is where they wrote
    }
    EXPECT_EQ(test::VisibleNames(temp / "outside"), std::vector<std::string>{"victim.swf"});
    EXPECT_EQ(test::ReadFile(temp / "outside/victim.swf"), "victim");
    for (const std::string& path : Tree(temp.path())) {
        if (before.count(path) == 0) {
            EXPECT_EQ(path.rfind("out/", 0), 0u) << path;
            EXPECT_FALSE(fs::is_symlink(temp / path)) << path;
            EXPECT_EQ(path.find("/../"), std::string::npos) << path;
            for (const fs::path& segment : fs::path(path)) {
                EXPECT_LE(segment.string().size(), kLongestPathSegment) << path;
            }
        }
    }
    // What the main movie loaded went where its name says (AddressPathTest has the escapes);
    // the FIFO and the link where files would go kept, the files beside them.
    const std::string evil = temp / "out/main/content/evil.example/";
    EXPECT_EQ(test::ReadFile(evil + "nul%00byte01.swf"), "payload");
    EXPECT_EQ(test::ReadFile(evil + "game/main01.swf").substr(0, 3), "FWS");
    EXPECT_FALSE(test::FileExists(temp / "outside/target.swf"));
}

}  // namespace
}  // namespace pellimor
