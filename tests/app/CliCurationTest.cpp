// pellimor-cli export as the web-game archive takes a curation, end to end on the demo cache
// and the caches Chrome and Firefox made: the folder passes an offline statement of the
// archive's rules (tests/files/curation-rules.py), pictures included; what cannot be known
// is said, and the packed zip holds exactly the folder.
#include <gtest/gtest.h>

#include "app/CliRun.h"

namespace pellimor {
namespace {

using CliCurationTest = test::DemoCliTest;
using test::Has;

const std::string kRules = std::string(PELLIMOR_SOURCE_DIR) + "/tests/files/curation-rules.py";
const std::string kMade = std::string(PELLIMOR_TEST_DATA) + "/browsers/made";

// The faults the archive's rules find in a game's folder; empty when it would be taken.
std::string Faults(const std::string& folder) {
    int status = -1;
    const std::string out =
        test::RunCommand("python3 '" + kRules + "' '" + folder + "' 2>&1", status);
    return status == 0 ? "" : out + (out.empty() ? "(no faults named)" : "");
}

// Whether zip holds exactly the files below folder, as "<folder's name>/<path>", byte for byte.
std::string ZipAgainstFolder(const std::string& zip, const std::string& folder) {
    int status = -1;
    const std::string out = test::RunCommand(
        "python3 -c 'import os,sys,zipfile\n"
        "z=zipfile.ZipFile(sys.argv[1]); root=sys.argv[2]; top=os.path.basename(root)\n"
        "assert z.testzip() is None\n"
        "disk={os.path.join(top,os.path.relpath(os.path.join(d,n),root)):os.path.join(d,n)"
        " for d,_,ns in os.walk(root) for n in ns}\n"
        "names=z.namelist()\n"
        "assert len(names)==len(set(names)), names\n"
        "assert sorted(names)==sorted(disk), (sorted(names), sorted(disk))\n"
        "for n in names: assert z.read(n)==open(disk[n],\"rb\").read(), n\n"
        "print(len(names))' '" +
            zip + "' '" + folder + "' 2>&1",
        status);
    return status == 0 ? "" : out;
}

TEST_F(CliCurationTest, TheDemoPuzzleIsReadyToHandIn) {
    // banner is cached under https: the archive launches it over http.
    const std::string out =
        OkInCache("export main banner --language en --tags 'Puzzle; Logic' --zip --to '" +
                  temp / "games" + "'");
    EXPECT_FALSE(Has(out, "not ready")) << out;
    EXPECT_EQ(Faults(temp / "games/main"), "");
    EXPECT_EQ(ZipAgainstFolder(temp / "games/main.zip", temp / "games/main"), "");
    const std::string meta = test::ReadFile(temp / "games/banner/meta.yaml");
    EXPECT_TRUE(Has(meta, "Launch Command: \"http://cdn.widgets.example/banner.swf?v=3\"\n"))
        << meta;
    // The pictures are the movie's, not a blank stage: the logo and the screenshot differ.
    EXPECT_NE(test::ReadFile(temp / "games/main/logo.png"),
              test::ReadFile(temp / "games/main/ss.png"));
}

TEST_F(CliCurationTest, AGameOfUnknownLanguageIsNotReadyAndSaysWhy) {
    const std::string out =
        OkInCache("export main --tags Puzzle --no-pictures --to '" + temp / "games" + "'");
    EXPECT_TRUE(Has(out,
                    "  not ready  no Languages: neither the cached page nor the server says "
                    "which language the game speaks; give it with --language"))
        << out;
    EXPECT_FALSE(Has(out, "no Tags")) << out;
    const std::string faults = Faults(temp / "games/main");
    EXPECT_TRUE(Has(faults, "Languages: missing or empty")) << faults;
}

TEST(BrowserCurationTest, ChromeAndFirefoxPuzzlesAreReadyToHandIn) {
    for (const char* made : {"/chromium-simple", "/firefox"}) {
        SCOPED_TRACE(made);
        test::TempFolder temp;
        const test::Ran ran =
            test::Cli(temp.path(), "export puzzle --language en --tags Puzzle --zip --cache '" +
                                       kMade + made + "' --to '" + temp / "games" + "'");
        ASSERT_EQ(ran.status, 0) << ran.out;
        EXPECT_FALSE(Has(ran.out, "not ready")) << ran.out;
        EXPECT_EQ(Faults(temp / "games/puzzle"), "");
        EXPECT_EQ(ZipAgainstFolder(temp / "games/puzzle.zip", temp / "games/puzzle"), "");
    }
}

}  // namespace
}  // namespace pellimor
