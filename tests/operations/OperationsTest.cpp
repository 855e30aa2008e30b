// The operations both front ends call, on the demo cache in a temporary folder: what each
// returns when the folder it writes into takes nothing, the user stops, or the cache is read
// only in part; the windows' and terminal's own tests hold their texts.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/DemoCache.h"
#include "app/Session.h"
#include "files/SettingsStore.h"
#include "operations/DeleteMovies.h"
#include "operations/ExportGames.h"
#include "operations/PlayedSaves.h"
#include "operations/SaveMovies.h"
#include "resources/Strings.h"
#include "support/ScriptedPrompts.h"
#include "support/TempFolder.h"

namespace pellimor {
namespace {

namespace fs = std::filesystem;

// The cache's entries as they are, then a failure: a database that ended in damage.
class ReadInPart : public CacheSource {
  public:
    explicit ReadInPart(CacheSource& cache) : cache_(cache) {}
    std::string_view Name() const override { return cache_.Name(); }
    const std::string& Location() const override { return cache_.Location(); }
    Status Enumerate(const std::function<bool(const CacheEntry&)>& visit) override {
        (void)cache_.Enumerate(visit);
        return Fail("damaged after the last entry");
    }
    Result<CacheBody> ReadBody(const EntryId& id, std::uint64_t limit) override {
        return cache_.ReadBody(id, limit);
    }
    std::vector<Status> DeleteEntries(const std::vector<CacheEntryRef>& chosen) override {
        return cache_.DeleteEntries(chosen);
    }
    Status CanDelete() override { return cache_.CanDelete(); }

  private:
    CacheSource& cache_;
};

// Pictures refused, every game recorded as the progress hears of it.
struct Recorder : ExportProgress {
    std::vector<std::string> heard;
    void Starting(const SwfEntry& movie, const ExportIndex&) override {
        heard.push_back("starting " + movie.displayName);
    }
    Result<GamePictures> TakePictures(const SwfEntry&, int, int) override {
        return Fail("no player here");
    }
    void CacheReadInPart(const std::string& why) override { heard.push_back("part " + why); }
    void Failed(const SwfEntry& movie, const std::string&) override {
        heard.push_back("failed " + movie.displayName);
    }
    void Finished(const SwfEntry& movie, const GameExport&, ExportFolder&) override {
        heard.push_back("finished " + movie.displayName);
    }
};

class OperationsTest : public ::testing::Test {
  protected:
    test::TempFolder temp;
    std::unique_ptr<Session> session;
    SwfCatalogue movies;
    test::ScriptedPrompts prompts;

    void SetUp() override { Open(false); }
    void Open(bool readOnly) {
        const auto made = MakeDemoCache(temp / ("profile" + std::to_string(readOnly)));
        ASSERT_TRUE(made) << made.error();
        ProgramOptions options;
        options.cacheFolder = *made;
        options.readOnly = readOnly;
        session = std::make_unique<Session>(options);
        movies.Clear();
        std::int32_t key = 0;
        ASSERT_TRUE(session->cache()
                        .Enumerate([&](const CacheEntry& entry) {
                            if (IsSwfCacheEntry(entry)) {
                                SwfEntry movie = MovieFromEntry(entry);
                                movie.key = ++key;
                                movies.Append(movie);
                            }
                            return true;
                        })
                        .ok());
    }
    std::int32_t Key(const std::string& name) {
        for (const SwfEntry& movie : movies) {
            if (movie.displayName == name) {
                return movie.key;
            }
        }
        ADD_FAILURE() << "no movie " << name;
        return 0;
    }
};

// A game that cannot be written is returned with why and the next one goes on; a cache read
// in part is said first; the user's cancel stops the export where it is.
TEST_F(OperationsTest, ExportGoesOnPastAFailureAndStopsWhereTheUserCancels) {
    ReadInPart partly(session->cache());
    ListingServices listing{partly, session->files(), [] { return std::nullopt; }};
    OperationServices services = session->operations();
    OperationServices partial{listing,
                              services.registry,
                              services.decompressor,
                              services.exportFolders,
                              services.defaultSaveFolder,
                              nullptr};
    const std::string to = temp / "games";
    fs::create_directories(temp / "elsewhere");
    fs::create_directories(to);
    fs::create_directory_symlink(temp / "elsewhere", to + "/rocket");  // a link, no way out
    ExportChoice choice{{Key("rocket"), Key("snake"), Key("rain"), Key("clock")}, to, {}, true, {}};
    // Each game's tags and language, then cancel at the third.
    prompts.textAnswers = {"Arcade", "en", "Arcade", "en"};
    Recorder progress;
    const auto done = ExportGames(movies, choice, partial, prompts, progress);
    ASSERT_TRUE(done.ok()) << done.error();
    EXPECT_EQ(done->cacheRead.error(), "damaged after the last entry");
    ASSERT_EQ(done->failed.size(), 1u);
    EXPECT_EQ(done->failed[0].first, "rocket");
    EXPECT_FALSE(done->failed[0].second.empty());
    EXPECT_TRUE(fs::is_empty(temp / "elsewhere"));
    ASSERT_EQ(done->games.size(), 1u);
    EXPECT_EQ(done->games[0].folder, "snake");
    EXPECT_EQ(done->games[0].notReady.back(), "no logo.png or ss.png: no player here");
    EXPECT_TRUE(done->cancelled);
    EXPECT_EQ(prompts.textAsked.front(), FilledIn(strings::kAskTags, "rocket"));
    EXPECT_EQ(prompts.textAsked.back(), FilledIn(strings::kAskTags, "rain"));
    // Nothing is started after the cancel.
    EXPECT_EQ(progress.heard,
              (std::vector<std::string>{"part damaged after the last entry", "starting rocket",
                                        "failed rocket", "starting snake", "finished snake",
                                        "starting rain"}));
}

// Folders that take nothing and a cache opened read-only are refused before anything is
// asked or done.
TEST_F(OperationsTest, RefusalsComeBeforeAnyQuestion) {
    fs::create_directories(temp / "saved");
    test::WriteFile(temp / "file", "x");
    OperationServices services = session->operations();
    Recorder progress;
    const auto exported = ExportGames(movies, {{Key("rocket")}, temp / "file", {}, true, {}},
                                      services, prompts, progress);
    EXPECT_FALSE(exported.ok());
    EXPECT_TRUE(prompts.textAsked.empty());
    // Nothing played to write; a folder that is a file.
    ASSERT_TRUE(SetSavePath(session->registry(), temp / "saved").ok());
    const auto nothing = WriteSavesPlayed({}, services);
    ASSERT_FALSE(nothing.ok());
    EXPECT_EQ(nothing.error(), "The game playing has saved nothing yet.");
    ASSERT_TRUE(SetSavePath(session->registry(), temp / "file").ok());
    EXPECT_FALSE(WriteSavesPlayed({{"localhost/game.swf/progress", "\x00\xbf"}}, services).ok());
    Open(true);
    ListingState state;
    OperationServices readOnly = session->operations();
    const std::vector<std::int32_t> keys = {Key("rocket")};
    EXPECT_FALSE(DeleteMovies(state, keys, readOnly, prompts).ok());
    EXPECT_TRUE(prompts.questions.empty());
}

TEST_F(OperationsTest, SaveAllTakesTheChosenInTheCachesOrder) {
    OperationServices services = session->operations();
    std::vector<std::string> order;  // the movies' names in the cache's order
    for (const SwfEntry& movie : movies) {
        order.push_back(movie.displayName);
    }
    ASSERT_GE(order.size(), 3u);
    // The second and first chosen, in that order; then every movie.
    const std::optional<std::vector<std::int32_t>> rows[] = {
        std::vector<std::int32_t>{Key(order[1]), Key(order[0])}, std::nullopt};
    int round = 0;
    for (const auto& keys : rows) {
        const SaveChoice choice{SaveChoice::Kind::kSaveAll, keys,
                                temp / ("saved" + std::to_string(++round))};
        fs::create_directories(choice.folder);
        const SaveOutcome saved = SaveMovies(movies, choice, services, prompts);
        ASSERT_EQ(saved.savedTo.size(), keys ? 2u : movies.Count());
        for (std::size_t i = 0; i < saved.savedTo.size(); ++i) {
            EXPECT_EQ(fs::path(saved.savedTo[i]).stem().string().substr(0, order[i].size()),
                      order[i]);
        }
    }
}

}  // namespace
}  // namespace pellimor
