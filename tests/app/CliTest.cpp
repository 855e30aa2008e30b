// pellimor-cli list, save and export end to end on the demo cache: what it prints, where the
// files go, and what a failed copy or a damaged index says. What an export holds:
// ExportGameTest; delete: CliDeleteTest.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/CliRun.h"

namespace pellimor {
namespace {

using test::Has;

class CliTest : public test::DemoCliTest {
  protected:
    void SetUp() override {
        test::DemoCliTest::SetUp();
        test::MakeFolders(temp / "out");
    }
    std::string List(const std::string& extra = "") const { return OkInCache("list " + extra); }
};

TEST_F(CliTest, ListsTheDemoCacheAsTheWindowWould) {
    const std::string all = List();
    for (const char* name : {"rocket", "snake", "getmovie", "main", "level1", "ep1", "ep2", "rain",
                             "clock", "banner"}) {
        EXPECT_TRUE(Has(all, std::string("\n") + name + " ")) << name;
    }
    EXPECT_FALSE(Has(all, "index"));  // the page is no movie
    EXPECT_TRUE(Has(all, "* ---|--Tüm Siteler--|---"));
    // The window's /site:S, which ./run hands to list too, starts the listing there as well.
    for (const char* site : {"--site arcade", "/site:arcade"}) {
        const std::string arcade = List(site);
        EXPECT_TRUE(Has(arcade, "\n* arcade.example\n")) << arcade;
        EXPECT_TRUE(Has(arcade, "\nmain "));  // games.arcade.example contains it
        EXPECT_FALSE(Has(arcade, "\nrain ")) << arcade;
    }
    const std::string leftovers = List("--leftovers");
    EXPECT_TRUE(Has(leftovers, "orphan"));
    EXPECT_TRUE(Has(leftovers, "lostgame"));
    EXPECT_FALSE(Has(leftovers, "rocket"));
    EXPECT_TRUE(Has(leftovers, "* **---Artık SWF Dosyaları---**"));
    const std::string json = List("--json --site cartoons");
    EXPECT_TRUE(Has(json, "\"displayName\": \"intro\""));
    EXPECT_TRUE(Has(json, "\"site\": \"cartoons.example\""));
    EXPECT_TRUE(Has(json, "\"sizeText\": \"0."));
}

TEST_F(CliTest, SavesUnderFreeNamesIntoTheStoredFolder) {
    std::string out = OkInCache("save --to '" + temp.path() + "/out' intro intro");
    for (const char* name : {"intro.swf", "intro01.swf", "intro02.swf", "intro03.swf"}) {
        EXPECT_TRUE(test::FileExists(temp / ("out/" + std::string(name)))) << name << out;
    }
    Ok("folder '" + temp.path() + "/out'");
    // Without --to, into the folder stored.
    out = OkInCache("save --site cartoons --all");
    EXPECT_TRUE(test::FileExists(temp / "out/rain.swf")) << out;
}

// A container that cannot be read: what could be read is saved, and the exit status and a
// message say that the rest is missing.
TEST_F(CliTest, SaveSaysWhenTheIndexCouldNotBeRead) {
    test::WriteFile(temp / "profile/History/History.IE5/index.dat", std::string(20000, 'g'));
    int status = 0;
    const std::string text =
        Run("save --cache '" + cache + "' --to '" + temp / "out" + "' --all", status);
    EXPECT_EQ(status, 1) << text;
    EXPECT_TRUE(Has(text, "History.IE5/index.dat")) << text;
    EXPECT_TRUE(Has(text,
                    "pellimor-cli: the cache could not be read whole; only the movies "
                    "listed above were saved"))
        << text;
    EXPECT_EQ(test::VisibleNames(temp / "out").size(), 12u) << text;
}

// A copy that fails says which movie, why, as the system said it, and into which folder, on
// lines of their own (the reasons of each failure: SaveEntryTest).
TEST_F(CliTest, ACopyThatFailsSaysWhy) {
    const std::string rocket = test::CachedFile(cache, "rocket");
    ASSERT_FALSE(rocket.empty());
    std::filesystem::remove(rocket);
    int status = 0;
    const std::string out =
        Run("save --cache '" + cache + "' rocket --to '" + temp / "out" + "'", status);
    EXPECT_EQ(status, 1) << out;
    EXPECT_TRUE(Has(out, ": rocket\npellimor-cli: " + rocket +
                             ": No such file or directory\npellimor-cli: Folder: " + temp / "out" +
                             "\n"))
        << out;
}

// The puzzle exports with its level and says so; a second export keeps what is there; two
// movies of one name get two folders.
TEST_F(CliTest, ExportsEachGameIntoAFolderOfItsOwn) {
    const std::string to = " --to '" + temp / "games" + "'";
    const std::string out = OkInCache("export main --language en --tags Puzzle" + to);
    EXPECT_TRUE(out.starts_with(temp / "games/main" + "  Playable, 3 files, 0 missing\n")) << out;
    // Again: everything there is the same, so everything is kept and nothing is added.
    EXPECT_EQ(OkInCache("export main --language en --tags Puzzle" + to), out);
    EXPECT_EQ(test::VisibleNames(temp / "games/main"),
              (std::vector<std::string>{"content", "logo.png", "meta.yaml", "ss.png"}));
    // "intro" is a movie of two sites in the demo.
    const std::string intro = OkInCache("export intro --no-pictures" + to);
    EXPECT_EQ(test::VisibleNames(temp / "games"),
              (std::vector<std::string>{"intro", "intro01", "main"}));
    EXPECT_TRUE(Has(intro, "/games/intro01  Playable, 1 file, 0 missing\n")) << intro;
}

}  // namespace
}  // namespace pellimor
