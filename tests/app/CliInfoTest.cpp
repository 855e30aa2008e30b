// pellimor-cli info and needs, end to end: real movies from files, the demo cache's movies by
// name, and files that are no movies or not files at all. Cached files that are special
// files: HostileCacheTest; what the facts are: SwfFactsTest.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/CliRun.h"
#include "catalogue/SwfBuilder.h"

namespace pellimor {
namespace {

const std::string kData = std::string(PELLIMOR_TEST_DATA) + "/swf/";

using CliInfoTest = test::DemoCliTest;
using test::Has;

TEST_F(CliInfoTest, FactsOfRealMovieFiles) {
    const std::string out =
        Ok("info --file '" + kData + "APlayer.swf' --file '" + kData +
           "expressInstall.swf' --file '" + kData + "soundmanager2_flash9-zws.swf'");
    for (const char* line : {
             "  signature    CWS (zlib), version 14\n",
             "  script       ActionScript 3\n",
             "  tags         36 tags, DoABC 2, DefineBinaryData 9, Metadata 1, ProductInfo 1\n",
             "  made with    Adobe Flex 4.14 build 20150325 (no edition), compiled 2015-09-01 "
             "09:00:11 UTC\n",
             "  loads        http://fpdownload.macromedia.com/pub/flashplayer/update/current/swf/"
             "autoUpdater.swf?\n",
             "  host names   fpdownload.macromedia.com\n",
             "  signature    ZWS (LZMA), version 14\n",
         }) {
        EXPECT_TRUE(Has(out, line)) << line << out;
    }
    const std::string json = Ok("info --json --file '" + kData + "soundmanager2-fws.swf'");
    EXPECT_TRUE(Has(json,
                    "\"signature\": \"FWS\", \"version\": 8, \"declaredLength\": 6754, "
                    "\"presentLength\": 6754, \"truncated\": false"))
        << json;
    EXPECT_TRUE(Has(json, "\"stageWidth\": 16, \"stageHeight\": 16")) << json;
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

// The demo's puzzle and its level as the demo's movie maker made them, read back by the
// facts' reader: whole, and the level standing still (one placement, not one a frame).
TEST_F(CliInfoTest, CachedMoviesByNameAndWhatTheyNeed) {
    EXPECT_EQ(OkInCache("info main level1"),
              "main\n"
              "  address      http://games.arcade.example/puzzle/main.swf\n"
              "  signature    FWS (uncompressed), version 8\n"
              "  length       902 bytes declared, 902 present\n"
              "  stage        400 x 300 pixels\n"
              "  frames       48 at 24 a second\n"
              "  background   #FFF0F5\n"
              "  script       ActionScript 1/2\n"
              "  tags         106 tags, DoAction 1\n"
              "  loads        levels/level1.swf\n"
              "\n"
              "level1\n"
              "  address      http://games.arcade.example/puzzle/levels/level1.swf\n"
              "  signature    FWS (uncompressed), version 8\n"
              "  length       265 bytes declared, 265 present\n"
              "  stage        400 x 300 pixels\n"
              "  frames       48 at 24 a second\n"
              "  background   #F5FFFA\n"
              "  script       ActionScript 1/2\n"
              "  tags         55 tags\n");
    std::string out = OkInCache("info --site cartoons intro --json");
    EXPECT_TRUE(Has(out, "\"address\": \"http://cartoons.example/intro.swf\"")) << out;
    EXPECT_FALSE(Has(out, "www.arcade.example")) << out;

    out = OkInCache("needs main");
    EXPECT_TRUE(Has(out, "  cached   http://games.arcade.example/puzzle/levels/level1.swf\n"))
        << out;
    EXPECT_TRUE(Has(out, "  1 cached, 0 missing\n")) << out;
    // The level's entry deleted: the same address, now missing.
    OkInCache("delete level1 --yes");
    out = OkInCache("needs main");
    EXPECT_TRUE(Has(out, "  missing  http://games.arcade.example/puzzle/levels/level1.swf\n"))
        << out;
    EXPECT_TRUE(Has(out, "  0 cached, 1 missing\n")) << out;
}

}  // namespace
}  // namespace pellimor
