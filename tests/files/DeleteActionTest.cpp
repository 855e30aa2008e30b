#include <gtest/gtest.h>

#include "files/DeleteAction.h"
#include "platform/fileops/PosixFileOps.h"
#include "support/FakeCache.h"
#include "support/ScriptedPrompts.h"
#include "support/TempFolder.h"

namespace pellimor {
namespace {

class DeleteActionTest : public ::testing::Test {
  protected:
    test::TempFolder temp;
    test::FakeCache cache;
    PosixFileOps files;
    ListingServices services{cache, files,
                             [this] { return std::optional<std::string>(temp / "cache"); }};
    test::ScriptedPrompts prompts;
    ListingState state;

    void SetUp() override {
        test::MakeFolders(temp / "cache/K1");
        for (const char* name : {"a", "b", "c"}) {
            const std::string path = temp / ("cache/K1/" + std::string(name) + "[1].swf");
            test::WriteFile(path, "FWS");
            cache.Add("http://e.com/" + std::string(name) + ".swf", path);
        }
        test::WriteFile(temp / "cache/left.swf", "FWS");
        ScanCache(state, services);
    }
    std::int32_t KeyOf(const std::string& text) const {
        for (const auto& l : state.movieLines) {
            if (l.text == text) {
                return l.key;
            }
        }
        return 0;
    }
};

// No keeps everything; yes deletes the chosen in the list's order (keys no line has are passed
// over) and lists again, as it does with nothing chosen.
TEST_F(DeleteActionTest, NoKeepsEverythingYesDeletesInListOrderThenListsAgain) {
    prompts.yes = false;
    const ListingState before = state;
    const std::vector<std::int32_t> keys = {KeyOf("a"), KeyOf("c"), 0, -1, 77};
    EXPECT_FALSE(OnDelete(state, keys, services, prompts).confirmed);
    EXPECT_TRUE(cache.deleted.empty());
    EXPECT_EQ(state.movieLines, before.movieLines);
    EXPECT_EQ(state.catalogue.Count(), 3u);
    EXPECT_EQ(prompts.questions, (std::vector<std::string>{"Are you sure?"}));
    prompts.yes = true;
    EXPECT_TRUE(OnDelete(state, keys, services, prompts).confirmed);
    EXPECT_EQ(cache.deleted,
              (std::vector<std::string>{"http://e.com/a.swf", "http://e.com/c.swf"}));
    ASSERT_EQ(state.movieLines.size(), 1u);
    EXPECT_EQ(state.movieLines[0].text, "b");
    cache.records.pop_back();
    OnDelete(state, {}, services, prompts);
    EXPECT_EQ(cache.deleted.size(), 2u);
    EXPECT_TRUE(state.movieLines.empty());
}

TEST_F(DeleteActionTest, LeftoverFilesGoFromTheDiskOnlyInsideTheCacheFolder) {
    OnSiteChanged(state, 0, services);  // the leftover item sorts first
    ASSERT_EQ(state.movieLines.size(), 1u);
    const std::vector<std::int32_t> keys = {state.movieLines[0].key};
    OnDelete(state, keys, services, prompts);
    EXPECT_FALSE(test::FileExists(temp / "cache/left.swf"));
    EXPECT_TRUE(cache.deleted.empty());
    EXPECT_TRUE(state.movieLines.empty());

    // A stale entry naming a file elsewhere is not removed.
    test::WriteFile(temp / "precious.swf", "keep");
    SwfEntry stale;
    stale.key = 1;
    stale.url = stale.localPath = temp / "precious.swf";
    stale.displayName = "precious";
    state.catalogue.Append(stale);
    const std::vector<std::int32_t> staleKey = {1};
    const DeleteOutcome outcome = OnDelete(state, staleKey, services, prompts);
    EXPECT_TRUE(test::FileExists(temp / "precious.swf"));
    EXPECT_EQ(outcome.problems.size(), 1u);
}

TEST(IsInsideFolder, RejectsEscapes) {
    EXPECT_TRUE(IsInsideFolder("/c/a/b.swf", "/c"));
    EXPECT_FALSE(IsInsideFolder("/c/../etc/x.swf", "/c"));
    EXPECT_FALSE(IsInsideFolder("/cx/b.swf", "/c"));
    EXPECT_FALSE(IsInsideFolder("/c", "/c"));
    EXPECT_FALSE(IsInsideFolder("/c/./x", "/c"));
    EXPECT_FALSE(IsInsideFolder("/d/x.swf", ""));
}

}  // namespace
}  // namespace pellimor
