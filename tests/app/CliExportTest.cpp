// pellimor-cli export, end to end on the demo cache: what it prints, where the files go,
// that a second export keeps what is there, and that bad command lines export nothing.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/DemoCliTest.h"
#include "support/TempFolder.h"

namespace pellimor {
namespace {

using CliExportTest = test::DemoCliTest;
using test::Has;

TEST_F(CliExportTest, ThePuzzleExportsWithItsLevelAndSaysSo) {
    int status = -1;
    const std::string out =
        InCache("export main --language en --tags Puzzle --to '" + temp / "games" + "'", status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_TRUE(out.starts_with(temp / "games/main" + "  Playable, 3 files, 0 missing\n")) << out;
    const std::string content = temp / "games/main/content/games.arcade.example/puzzle/";
    EXPECT_EQ(test::ReadFile(content + "main.swf").substr(0, 3), "FWS");
    EXPECT_EQ(test::ReadFile(content + "levels/level1.swf").substr(0, 3), "FWS");
    const std::string meta = test::ReadFile(temp / "games/main/meta.yaml");
    EXPECT_TRUE(Has(meta, "Launch Command: \"http://games.arcade.example/puzzle/index.html\"\n"))
        << meta;
    EXPECT_TRUE(Has(meta, "Status: \"Playable\"\n")) << meta;
    // Again: everything there is the same, so everything is kept and nothing is added.
    const std::string again =
        InCache("export main --language en --tags Puzzle --to '" + temp / "games" + "'", status);
    EXPECT_EQ(status, 0) << again;
    EXPECT_EQ(again, out);
    EXPECT_EQ(test::VisibleNames(temp / "games/main"),
              (std::vector<std::string>{"content", "logo.png", "meta.yaml", "ss.png"}));
}

TEST_F(CliExportTest, TwoMoviesOfOneNameGetTwoFolders) {
    int status = -1;
    // "intro" is a movie of two sites in the demo.
    const std::string out =
        InCache("export intro --no-pictures --to '" + temp / "games" + "'", status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(test::VisibleNames(temp / "games"), (std::vector<std::string>{"intro", "intro01"}));
    EXPECT_TRUE(Has(out, "/games/intro01  Playable, 1 file, 0 missing\n")) << out;
    const std::string site =
        InCache("export intro --no-pictures --site cartoons --to '" + temp / "c" + "'", status);
    EXPECT_EQ(status, 0) << site;
    EXPECT_TRUE(test::FileExists(temp / "c/intro/content/cartoons.example/intro.swf")) << site;
}

TEST_F(CliExportTest, BadCommandLinesExportNothing) {
    const struct {
        std::string arguments;
        int status;
        std::string said;
    } cases[] = {
        {"export main", 2, "say where to export with --to DIR"},
        {"export --to '" + temp / "x" + "'", 2, "name the movies to export"},
        {"export nosuchmovie --to '" + temp / "x" + "'", 2, "nothing in this listing matches"},
        {"export main --to", 2, "--to needs a value"},
        {"export main --bogus --to '" + temp / "x" + "'", 2, "unknown option --bogus"},
        {"export main --site nosuchsite --to '" + temp / "x" + "'", 2, "nosuchsite"},
    };
    for (const auto& c : cases) {
        int status = -1;
        const std::string out = InCache(c.arguments, status);
        EXPECT_EQ(status, c.status) << c.arguments << "\n" << out;
        EXPECT_TRUE(Has(out, c.said)) << c.arguments << "\n" << out;
        EXPECT_FALSE(test::FileExists(temp / "x")) << c.arguments;
    }
    // A target that is a file, or under a missing folder, fails without writing anywhere.
    test::WriteFile(temp / "file", "not a folder");
    int status = -1;
    std::string out = InCache("export main --to '" + temp / "file" + "'", status);
    EXPECT_EQ(status, 1) << out;
    EXPECT_EQ(test::ReadFile(temp / "file"), "not a folder");
    out = InCache("export main --to '" + temp / "missing/deeper" + "'", status);
    EXPECT_EQ(status, 1) << out;
    EXPECT_FALSE(test::FileExists(temp / "missing"));
}

TEST_F(CliExportTest, HelpNamesTheCommand) {
    int status = -1;
    const std::string out = Run("export --help", status);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(Has(out, "Usage: pellimor-cli export")) << out;
    EXPECT_TRUE(Has(Run("--help", status), "  export [--site S] NAME... --to DIR"));
}

}  // namespace
}  // namespace pellimor
