// pellimor-cli export --warc/--wacz end to end, on the demo cache and on the caches Chrome
// and Firefox made: the package unpacks with Python's zipfile, every member stored; warcio
// reads every record back with its digests; the movies' payloads are the cache's bodies.
#include <gtest/gtest.h>

#include <regex>

#include "app/CliRun.h"
#include "files/warc/WarcioCheck.h"

namespace pellimor {
namespace {

using CliWebArchiveTest = test::DemoCliTest;
using test::Has;

const std::string kMade = std::string(PELLIMOR_TEST_DATA) + "/browsers/made";
const std::string kMembers =
    "archive/data.warc.gz 0 *\nindexes/index.cdx 0 *\npages/pages.jsonl 0 *\ndatapackage.json 0 "
    "*\n";

// The member lines with their sizes made "*".
std::string WithoutSizes(const std::string& lines) {
    return std::regex_replace(lines, std::regex(" [0-9]+(\n|$)"), " *\n");
}

TEST_F(CliWebArchiveTest, TheDemoPuzzleAsWarcAndWacz) {
    EXPECT_EQ(OkInCache("export main --warc '" + temp / "main.warc.gz" + "' --wacz '" +
                        temp / "main.wacz" + "'"),
              temp / "main.warc.gz" + "  3 records\n" + temp / "main.wacz" + "  3 records\n");
    int status = -1;
    const std::string members = test::UnpackWacz(temp / "main.wacz", temp / "unpacked", status);
    ASSERT_EQ(status, 0) << members;
    EXPECT_EQ(WithoutSizes(members), kMembers);
    const std::map<std::string, std::string> payloads = {
        {"http://games.arcade.example/puzzle/main.swf", test::CachedFile(cache, "main")},
        {"http://games.arcade.example/puzzle/levels/level1.swf", test::CachedFile(cache, "level1")},
    };
    for (const std::string& warc :
         {temp / "main.warc.gz", temp / "unpacked/archive/data.warc.gz"}) {
        const std::string checked = test::CheckWithWarcio(
            warc, Has(warc, "unpacked") ? temp / "unpacked" : "", payloads, status);
        EXPECT_EQ(status, 0) << checked;
        EXPECT_TRUE(Has(checked, "\"types\":[\"warcinfo\",\"response\",\"response\",\"response\"]"))
            << checked;
    }
    // Neither file is replaced by a second export.
    const std::string again = InCache("export main --wacz '" + temp / "main.wacz" + "'", status);
    EXPECT_EQ(status, 1) << again;
    EXPECT_TRUE(Has(again, "not replaced")) << again;
}

TEST(BrowserWebArchiveTest, ChromeAndFirefoxCachesAsWacz) {
    const std::map<std::string, std::string> served = {
        {"http://127.0.0.1:18765/games/puzzle.swf", "games/puzzle.swf"},
        {"http://127.0.0.1:18765/games/levels/level1.swf", "games/levels/level1.swf"},
        {"http://127.0.0.1:18765/games/rocket.swf", "games/rocket.swf"},  // sent gzip-encoded
        // Named by the page's flashvars alone, not by the movie.
        {"http://127.0.0.1:18765/games/levels.xml", "games/levels.xml"},
    };
    for (const char* made : {"/chromium-simple", "/firefox"}) {
        SCOPED_TRACE(made);
        test::TempFolder temp;
        const test::Ran ran =
            test::Cli(temp.path(), "export puzzle rocket --cache '" + kMade + made + "' --wacz '" +
                                       temp / "games.wacz" + "'");
        ASSERT_EQ(ran.status, 0) << ran.out;
        int status = -1;
        const std::string members = test::UnpackWacz(temp / "games.wacz", temp / "w", status);
        ASSERT_EQ(status, 0) << members;
        EXPECT_EQ(WithoutSizes(members), kMembers);
        std::map<std::string, std::string> payloads;
        for (const auto& [address, file] : served) {
            payloads[address] = kMade + "/served/" + file;
        }
        const std::string checked =
            test::CheckWithWarcio(temp / "w/archive/data.warc.gz", temp / "w", payloads, status);
        EXPECT_EQ(status, 0) << checked;
        // The puzzle, its level, the levels its page names, its page and the rocket; the
        // rocket's body was sent gzip'd and is kept decoded, which its record says.
        EXPECT_TRUE(Has(checked, "\"indexLines\":5,\"pages\":2")) << checked;
        EXPECT_TRUE(Has(checked,
                        "\"http://127.0.0.1:18765/games/rocket.swf\":\"the body is kept "
                        "decoded: Content-Encoding: gzip dropped, Content-Length set\""))
            << checked;
    }
}

}  // namespace
}  // namespace pellimor
