// pellimor-cli saves and export on a Windows user folder whose movie has saves in each place
// Flash Player kept them (its own, Chrome's own Flash, Linux's), beside hostile ones: links,
// a FIFO, a file larger than a save.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "app/CliRun.h"
#include "app/SwfSaveMovie.h"
#include "platform/saves/SaveFinder.h"
#include "platform/urlcache/CacheWriter.h"
#include "support/Outcome.h"

namespace pellimor {
namespace {

using test::Has;

const std::string kData = std::string(PELLIMOR_TEST_DATA) + "/saves/";

class CliSavesTest : public test::DemoCliTest {
  protected:
    std::string user;
    // The save file at each place, and the data file it holds.
    std::vector<std::pair<std::string, std::string>> placed;

    void SetUp() override {
        user = temp / "user";
        CacheProfileWriter writer(user + "/AppData/Local/Microsoft/Windows",
                                  indexdat::Flavour::kInternetExplorer, 3);
        ContentEntry e;
        e.url = "http://games.example/arcade/run.swf";
        e.body = MakeSwfSaveMovie({});
        e.extension = "swf";
        ASSERT_TRUE(test::Ok(writer.AddContent(e)));
        ASSERT_TRUE(test::Ok(writer.Save()));
        const std::string windows =
            user + "/AppData/Roaming/Macromedia/Flash Player/#SharedObjects/K7Q2XW9B/";
        const std::string pepper =
            user +
            "/AppData/Local/Google/Chrome/User Data/Default/Pepper Data/Shockwave "
            "Flash/WritableRoot/#SharedObjects/AB12CD34/";
        const std::string linux = user + "/.macromedia/Flash_Player/#sharedobjects/ZZ99YY88/";
        placed = {
            {windows + "games.example/arcade/run.swf/progress.sol", "ruffle-run.sol"},
            {pepper + "games.example/arcade/hero.SOL", "amf3-hero.sol"},
            {linux + "games.example/all.sol", "ruffle-root.sol"},
            {linux + "other.example/x.sol", "ruffle-folder.sol"},
        };
        for (const auto& [file, data] : placed) {
            test::MakeFolders(std::filesystem::path(file).parent_path());
            std::filesystem::copy_file(kData + data, file);
        }
        // Hostile: a link to a file outside, a link to a folder outside, a FIFO, a file
        // larger than any save, a folder named to climb out once joined.
        test::MakeFolders(temp / "outside/games.example");
        test::WriteFile(temp / "outside/secret.sol", test::ReadFile(kData + "ruffle-run.sol"));
        test::WriteFile(temp / "outside/games.example/deep.sol",
                        test::ReadFile(kData + "ruffle-run.sol"));
        const std::string hostile = windows + "games.example/arcade/";
        ASSERT_EQ(::symlink((temp / "outside/secret.sol").c_str(), (hostile + "link.sol").c_str()),
                  0);
        ASSERT_EQ(::symlink((temp / "outside").c_str(), (windows + "../LINKED").c_str()), 0);
        ASSERT_EQ(::mkfifo((hostile + "fifo.sol").c_str(), 0644), 0);
        test::WriteFile(hostile + "huge.sol", "");
        ASSERT_EQ(::truncate((hostile + "huge.sol").c_str(), static_cast<off_t>(kLargestSave + 1)),
                  0);
        test::WriteFile(hostile + "...sol", test::ReadFile(kData + "ruffle-slash.sol"));
    }
    std::string InUser(const std::string& arguments) const {
        return Ok(arguments + " --cache '" + user + "'");
    }
};

TEST_F(CliSavesTest, EachPlaceIsFoundWithItsMovieAndExported) {
    std::string out = InUser("saves");
    for (const auto& [file, data] : placed) {
        EXPECT_TRUE(Has(out, "  file   " + file + "\n")) << file << "\n" << out;
    }
    for (const char* shown :
         {"progress  games.example  /arcade/run.swf  ", "hero  games.example  /arcade  ", "AMF3\n",
          "all  games.example  /  ", "x  other.example  /  ", "(no cached movie)"}) {
        EXPECT_TRUE(Has(out, shown)) << shown << "\n" << out;
    }
    // Three saves of the movie: its own, its folder's, its host's; and the one named "..".
    EXPECT_EQ(test::Count(out, "  movie  run  http://games.example/arcade/run.swf\n"), 4u) << out;
    // Nothing through a link, no FIFO, nothing larger than a save; the huge file is said.
    for (const char* unshown : {"secret", "deep", "\nfifo  ", "\nlink  "}) {
        EXPECT_FALSE(Has(out, unshown)) << unshown << "\n" << out;
    }
    EXPECT_TRUE(Has(out, "huge.sol: 16777217 bytes, larger than a save; not read")) << out;

    const std::string json = InUser("saves run --json");
    EXPECT_TRUE(Has(json, R"("name":"Ada")")) << json;
    EXPECT_FALSE(Has(json, "other.example")) << json;

    // Exported, every save of the movie is kept byte for byte inside the game's folder.
    const auto found = test::Snapshot(user);
    out = InUser("export run --to '" + temp / "games" + "'");
    const std::string saves = temp / "games/run/saves/games.example/";
    const std::pair<std::string, std::string> expected[] = {
        {saves + "arcade/run.swf/progress.sol", "ruffle-run.sol"},
        {saves + "arcade/hero.sol", "amf3-hero.sol"},  // its name, lower-case ".sol"
        {saves + "all.sol", "ruffle-root.sol"},
        {saves + "arcade/...sol", "ruffle-slash.sol"},
    };
    std::size_t files = 0;
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(temp / "games/run/saves")) {
        files += entry.is_regular_file() ? 1 : 0;
    }
    EXPECT_EQ(files, std::size(expected));
    const std::string meta = test::ReadFile(temp / "games/run/meta.yaml");
    for (const auto& [file, data] : expected) {
        EXPECT_EQ(test::ReadFile(file), test::ReadFile(kData + data)) << file;
        EXPECT_TRUE(Has(meta, "Save: " + file.substr((temp / "games/run/").size()))) << meta;
    }
    // Where they were found, nothing changed; beside the export folder, nothing written.
    EXPECT_EQ(test::VisibleNames(temp / "games"), std::vector<std::string>{"run"});
    EXPECT_EQ(test::Snapshot(user), found);

    // From a Wine prefix's root, Chrome's own Flash keeps its saves 13 folders down, and XP's
    // Flash Player under "Application Data".
    const std::string prefix = temp / "wine";
    test::MakeFolders(prefix + "/drive_c/users");
    std::filesystem::rename(user, prefix + "/drive_c/users/ada");
    const std::string xp = prefix +
                           "/drive_c/users/bob/Application Data/Macromedia/Flash "
                           "Player/#SharedObjects/Q1/games.example/arcade/xp.sol";
    test::MakeFolders(std::filesystem::path(xp).parent_path());
    std::filesystem::copy_file(kData + "ruffle-folder.sol", xp);
    out = Ok("saves --cache '" + prefix + "'");
    for (const char* name : {"progress  ", "hero  ", "all  ", "xp  "}) {
        EXPECT_TRUE(Has(out, std::string("\n") + name) || out.starts_with(name)) << name << out;
    }
}

}  // namespace
}  // namespace pellimor
