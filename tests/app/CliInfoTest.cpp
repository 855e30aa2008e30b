// pellimor-cli info and needs, end to end: real movies from files, the demo cache's movies by
// name, and files that are no movies or not files at all.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "app/CliRun.h"
#include "catalogue/SwfBuilder.h"

namespace pellimor {
namespace {

const std::string kData = std::string(PELLIMOR_TEST_DATA) + "/swf/";

using CliInfoTest = test::DemoCliTest;
using test::Has;

TEST_F(CliInfoTest, FactsOfRealMovieFiles) {
    int status = -1;
    const std::string out =
        Run("info --file '" + kData + "APlayer.swf' --file '" + kData + "expressInstall.swf'" +
                " --file '" + kData + "soundmanager2_flash9-zws.swf'",
            status);
    EXPECT_EQ(status, 0) << out;
    for (const char* line : {
             "  signature    CWS (zlib), version 14\n",
             "  length       770675 bytes declared, 770675 present\n",
             "  stage        500 x 375 pixels\n",
             "  frames       2 at 24 a second\n",
             "  script       ActionScript 3\n",
             "  tags         36 tags, DoABC 2, DefineBinaryData 9, Metadata 1, ProductInfo 1\n",
             "  made with    Adobe Flex 4.14 build 20150325 (no edition), compiled 2015-09-01 "
             "09:00:11 UTC\n",
             "  signature    CWS (zlib), version 6\n",
             "  stage        310 x 130 pixels\n",
             "  script       ActionScript 1/2\n",
             "  loads        http://fpdownload.macromedia.com/pub/flashplayer/update/current/swf/"
             "autoUpdater.swf?\n",
             "  host names   fpdownload.macromedia.com\n",
             "  signature    ZWS (LZMA), version 14\n",
             "  length       16000 bytes declared, 16000 present\n",
         }) {
        EXPECT_TRUE(Has(out, line)) << line << out;
    }
    const std::string json = Run("info --json --file '" + kData + "soundmanager2-fws.swf'", status);
    EXPECT_EQ(status, 0) << json;
    EXPECT_TRUE(Has(json,
                    "\"signature\": \"FWS\", \"version\": 8, \"declaredLength\": 6754, "
                    "\"presentLength\": 6754, \"truncated\": false"))
        << json;
    EXPECT_TRUE(Has(json, "\"stageWidth\": 16, \"stageHeight\": 16")) << json;
    EXPECT_TRUE(Has(json, "\"actionScript\": 2")) << json;
    EXPECT_EQ(json.front(), '[');
}

// Files given by path: a cut movie says how much is missing and where reading stopped, a
// movie's texts cannot drive the terminal, and what is no movie file is refused unread.
TEST_F(CliInfoTest, MovieFilesAreReadSafelyOrRefused) {
    test::WriteFile(temp / "cut.swf", test::ReadFile(kData + "APlayer.swf").substr(0, 20000));
    test::WriteFile(temp / "m.swf",
                    test::Fws(test::SwfTag(77, "<rdf>\x1b]0;owned\x07\x1b[2J</rdf>")));
    test::WriteFile(temp / "page.swf", "<html>not a movie</html>");
    ASSERT_EQ(mkfifo((temp / "fifo.swf").c_str(), 0600), 0);
    ASSERT_EQ(symlink("/dev/zero", (temp / "zero.swf").c_str()), 0);
    test::MakeFolders(temp / "folder.swf");
    const struct {
        std::string path;
        int status;
        std::vector<std::string> said;
    } cases[] = {
        {temp / "cut.swf",
         0,
         {"  stage        500 x 375 pixels\n", "present; truncated, ", "  stopped at   byte ",
          "bytes before its declared length"}},
        {temp / "m.swf", 0, {"\\x1B]0;owned\\x07\\x1B[2J"}},
        {temp / "page.swf", 1, {"  not a movie  byte 0: no SWF signature"}},
        {temp / "fifo.swf", 1, {"not a movie file"}},
        {temp / "zero.swf", 1, {"not a movie file"}},
        {"/dev/zero", 1, {"not a movie file"}},
        {temp / "folder.swf", 1, {"not a movie file"}},
        {temp / "absent.swf", 1, {"absent.swf"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        int status = -1;
        // A FIFO nobody writes to would hold a reader up for ever; timeout fails the test.
        const std::string out = Run("info --file '" + c.path + "'", status);
        EXPECT_EQ(status, c.status) << out;
        for (const std::string& said : c.said) {
            EXPECT_TRUE(Has(out, said)) << said << out;
        }
        EXPECT_FALSE(Has(out, "\x1b")) << out;
    }
}

TEST_F(CliInfoTest, CachedMoviesByNameAndWhatTheyNeed) {
    int status = -1;
    std::string out = InCache("info main", status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_TRUE(Has(out, "  address      http://games.arcade.example/puzzle/main.swf\n")) << out;
    EXPECT_TRUE(Has(out, "  loads        levels/level1.swf\n")) << out;
    out = InCache("info --site cartoons intro --json", status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_TRUE(Has(out, "\"address\": \"http://cartoons.example/intro.swf\"")) << out;
    EXPECT_FALSE(Has(out, "www.arcade.example")) << out;
    // By address, as the other commands choose: one of the two intros.
    out = InCache("info --url http://www.arcade.example/intro.swf --json", status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_TRUE(Has(out, "\"address\": \"http://www.arcade.example/intro.swf\"")) << out;
    EXPECT_FALSE(Has(out, "cartoons.example")) << out;

    out = InCache("needs main", status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_TRUE(Has(out, "  cached   http://games.arcade.example/puzzle/levels/level1.swf\n"))
        << out;
    EXPECT_TRUE(Has(out, "  1 cached, 0 missing\n")) << out;
    // The level's entry deleted: the same address, now missing.
    out = InCache("delete level1 --yes", status);
    ASSERT_EQ(status, 0) << out;
    out = InCache("needs main", status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_TRUE(Has(out, "  missing  http://games.arcade.example/puzzle/levels/level1.swf\n"))
        << out;
    EXPECT_TRUE(Has(out, "  0 cached, 1 missing\n")) << out;
}

// The demo's main movie, its cached file replaced by what a stranger's disk may hold there.
TEST_F(CliInfoTest, HostileCachedFilesAreReadSafelyOrRefused) {
    const std::string mainFile = test::CachedFile(cache, "main");
    ASSERT_NE(mainFile, "");
    test::WriteFile(temp / "secret.swf", test::ReadFile(kData + "expressInstall.swf"));
    const std::string longSegment(2000, 'a');  // a 4 KB one is no address: left out
    const std::string loads =
        test::PushStrings({"../../../../etc/passwd.txt", "%2e%2e/%2e%2e/secret.swf",
                           longSegment + "/x.swf", std::string(4096, 'b') + "/y.swf",
                           "..\\..\\win.ini.txt", "/abs/root.xml",
                           "http://evil.example:99999/x.swf"}) +
        '\0';
    struct Case {
        std::string name;
        std::function<void(const std::string&)> make;
        int infoStatus;
        std::vector<std::string> said;
    } cases[] = {
        {"fifo",
         [](const std::string& p) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); },
         1,
         {"not a movie file"}},
        {"link to /dev/zero",
         [](const std::string& p) { ASSERT_EQ(symlink("/dev/zero", p.c_str()), 0); },
         1,
         {"is a device, not a movie file"}},
        {"link out of the cache",
         [this](const std::string& p) {
             ASSERT_EQ(symlink((temp / "secret.swf").c_str(), p.c_str()), 0);
         },
         1,
         {"leads outside the cache folder"}},
        {"cut",
         [](const std::string& p) { test::WriteFile(p, "CWS\x0A\xFF\xFF\xFF\xFF\x78"); },
         0,
         {"4294967295 bytes declared, 8 present; truncated, 4294967287 bytes missing"}},
        {"hostile loads",
         [&](const std::string& p) { test::WriteFile(p, test::Fws(test::SwfTag(12, loads))); },
         0,
         {"  loads        ../../../../etc/passwd.txt\n"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(mainFile);
        c.make(mainFile);
        int status = -1;
        const std::string info = InCache("info main", status);
        EXPECT_EQ(status, c.infoStatus) << info;
        for (const std::string& said : c.said) {
            EXPECT_TRUE(Has(info, said)) << info;
        }
        EXPECT_FALSE(Has(info, "fpdownload.macromedia.com")) << info;  // the file outside
    }
    // The hostile loads resolve inside the movie's own site, are looked up, and are missing;
    // nothing is read or written outside the cache for it.
    int status = -1;
    const std::string needs = InCache("needs main", status);
    EXPECT_EQ(status, 0) << needs;
    for (const std::string& line : std::vector<std::string>{
             "  missing  http://games.arcade.example/etc/passwd.txt\n",
             "  missing  http://games.arcade.example/puzzle/%2e%2e/%2e%2e/secret.swf\n",
             "  missing  http://games.arcade.example/puzzle/" + longSegment + "/x.swf\n",
             "  missing  http://games.arcade.example/abs/root.xml\n",
             "  missing  http://evil.example:99999/x.swf\n",
             std::string("  0 cached, 5 missing\n"),
         }) {
        EXPECT_TRUE(Has(needs, line)) << line << needs;
    }
}

}  // namespace
}  // namespace pellimor
