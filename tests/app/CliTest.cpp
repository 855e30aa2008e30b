#include <gtest/gtest.h>

#include <filesystem>

#include "support/DemoCliTest.h"
#include "support/TempFolder.h"

namespace pellimor {
namespace {

class CliTest : public test::DemoCliTest {
  protected:
    void SetUp() override {
        test::DemoCliTest::SetUp();
        test::MakeFolders(temp / "out");
    }
    std::string List(const std::string& extra = "") const {
        int status = 0;
        std::string out = Run("list --cache '" + cache + "' " + extra, status);
        EXPECT_EQ(status, 0) << out;
        return out;
    }
};

TEST_F(CliTest, ListsTheDemoCacheAsTheWindowWould) {
    const std::string all = List();
    for (const char* name : {"rocket", "snake", "getmovie", "main", "level1", "ep1", "ep2", "rain",
                             "clock", "banner"}) {
        EXPECT_NE(all.find(std::string("\n") + name + " "), std::string::npos) << name;
    }
    EXPECT_EQ(all.find("index"), std::string::npos);  // the page is no movie
    EXPECT_NE(all.find("* ---|--Tüm Siteler--|---"), std::string::npos);
    const std::string arcade = List("--site arcade");
    EXPECT_NE(arcade.find("* arcade.example"), std::string::npos);
    EXPECT_NE(arcade.find("main"), std::string::npos);  // games.arcade.example contains it
    EXPECT_EQ(arcade.find("rain"), std::string::npos);
    const std::string leftovers = List("--leftovers");
    EXPECT_NE(leftovers.find("orphan"), std::string::npos);
    EXPECT_NE(leftovers.find("lostgame"), std::string::npos);
    EXPECT_EQ(leftovers.find("rocket"), std::string::npos);
    EXPECT_NE(leftovers.find("* **---Artık SWF Dosyaları---**"), std::string::npos);
    const std::string json = List("--json --site cartoons");
    EXPECT_NE(json.find("\"displayName\": \"intro\""), std::string::npos);
    EXPECT_NE(json.find("\"site\": \"cartoons.example\""), std::string::npos);
    EXPECT_NE(json.find("\"sizeText\": \"0."), std::string::npos);
}

TEST_F(CliTest, SavesUnderFreeNamesAndDeletes) {
    int status = 0;
    std::string out =
        Run("save --cache '" + cache + "' --to '" + temp.path() + "/out' intro intro", status);
    EXPECT_EQ(status, 0) << out;
    for (const char* name : {"intro.swf", "intro01.swf", "intro02.swf", "intro03.swf"}) {
        EXPECT_TRUE(test::FileExists(temp / ("out/" + std::string(name)))) << name << out;
    }
    out = Run("folder '" + temp.path() + "/out'", status);
    EXPECT_EQ(status, 0) << out;
    out = Run("save --cache '" + cache + "' --site cartoons --all", status);
    EXPECT_TRUE(test::FileExists(temp / "out/rain.swf")) << out;
    out = Run("delete --cache '" + cache + "' rocket < /dev/null", status);
    EXPECT_NE(status, 0);
    EXPECT_NE(List().find("rocket"), std::string::npos);
    out = Run("delete --cache '" + cache + "' rocket --yes", status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(List().find("rocket"), std::string::npos);
    out = Run("delete --cache '" + cache + "' --leftovers orphan --yes", status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(List("--leftovers").find("orphan"), std::string::npos);
    EXPECT_NE(List("--leftovers").find("lostgame"), std::string::npos);
}

// A container that cannot be read: what could be read is saved, and the exit status and a
// message say that the rest is missing.
TEST_F(CliTest, SaveSaysWhenTheIndexCouldNotBeRead) {
    test::WriteFile(temp / "profile/History/History.IE5/index.dat", std::string(20000, 'g'));
    const struct {
        const char* arguments;
        std::size_t saved;
    } cases[] = {{"--all", 12}, {"rocket", 1}, {"--site cartoons --all", 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        test::TempFolder out;
        int status = 0;
        const std::string text =
            Run("save --cache '" + cache + "' --to '" + out.path() + "' " + c.arguments, status);
        EXPECT_EQ(status, 1) << text;
        EXPECT_NE(text.find("History.IE5/index.dat"), std::string::npos) << text;
        EXPECT_NE(text.find("pellimor-cli: the cache could not be read whole; only the movies "
                            "listed above were saved"),
                  std::string::npos)
            << text;
        std::size_t saved = 0;
        for (const auto& entry : std::filesystem::directory_iterator(out.path())) {
            saved += entry.is_regular_file() ? 1 : 0;
        }
        EXPECT_EQ(saved, c.saved) << text;
    }
}

// A copy that fails says which movie, why, as the system said it, and into which folder.
TEST_F(CliTest, ACopyThatFailsSaysWhy) {
    const auto rocket = [&] {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(cache)) {
            if (entry.path().filename() == "rocket[1].swf") {
                return entry.path().string();
            }
        }
        return std::string();
    }();
    ASSERT_FALSE(rocket.empty());
    const struct {
        const char* what;
        std::string arguments;
        std::string reason;
        std::string folder;
    } cases[] = {
        {"a folder that is not there", "rain --to '" + temp.path() + "/gone'",
         "pellimor-cli: No such file or directory\n", temp / "gone"},
        {"a cached file gone", "rocket --to '" + temp.path() + "/out'",
         "pellimor-cli: " + rocket + ": No such file or directory\n", temp / "out"},
    };
    std::filesystem::remove(rocket);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        int status = 0;
        const std::string out = Run("save --cache '" + cache + "' " + c.arguments, status);
        EXPECT_EQ(status, 1) << out;
        EXPECT_NE(out.find(": " + c.arguments.substr(0, c.arguments.find(' ')) + "\n" + c.reason +
                           "pellimor-cli: Folder: " + c.folder + "\n"),
                  std::string::npos)
            << out;
    }
}

}  // namespace
}  // namespace pellimor
