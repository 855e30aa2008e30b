#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "files/SaveEntry.h"
#include "files/SettingsStore.h"
#include "platform/FaultHooks.h"
#include "platform/fileops/PosixFileOps.h"
#include "platform/registry/HiveRegistry.h"
#include "resources/Strings.h"
#include "support/ScriptedPrompts.h"
#include "support/TempFolder.h"

namespace pellimor {
namespace {

namespace fs = std::filesystem;

class SaveEntryTest : public ::testing::Test {
  protected:
    test::TempFolder temp;
    PosixFileOps files;
    HiveRegistry registry{temp / "config/Tavrik/hkcu.reg"};
    test::ScriptedPrompts prompts;
    std::string out = temp / "out";
    SaveServices services{files, registry, prompts, temp / "home", ""};
    SwfCatalogue catalogue;

    void SetUp() override {
        test::MakeFolders(out);
        test::MakeFolders(temp / "home");
        test::MakeFolders(temp / "cache");
        SetSavePath(registry, out);
    }
    SwfEntry Movie(std::int32_t key, const std::string& name,
                   const std::string& body = "FWSmovie") {
        SwfEntry e;
        e.key = key;
        e.displayName = name;
        e.localPath = temp / ("cache/" + name + "[" + std::to_string(key) + "].swf");
        e.url = "http://e.com/" + name + ".swf";
        test::WriteFile(e.localPath, body);
        catalogue.Append(e);
        return e;
    }
};

// intro.swf and intro01.swf up to the count given.
std::vector<std::string> Taken(int count) {
    std::vector<std::string> names{"intro.swf"};
    for (int i = 1; i <= count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "intro%02d.swf", i);
        names.push_back(name);
    }
    return names;
}

// The counter has no upper bound.
TEST_F(SaveEntryTest, PicksTheFirstFreeName) {
    const SwfEntry intro = Movie(1, "intro");
    const struct {
        std::vector<std::string> existing;
        std::string expected;
    } cases[] = {
        {{}, "intro.swf"},         {Taken(1), "intro02.swf"},   {{"intro01.swf"}, "intro.swf"},
        {Taken(0), "intro01.swf"}, {Taken(99), "intro100.swf"},
    };
    for (const auto& c : cases) {
        test::TempFolder target;
        services.folderOverride = target.path();
        for (const auto& name : c.existing) {
            test::WriteFile(target / name, "old");
        }
        SaveOutcome outcome;
        EXPECT_EQ(SaveEntry(intro, false, services, &outcome), 1);
        EXPECT_EQ(outcome.savedTo, std::vector<std::string>{target / c.expected});
        EXPECT_EQ(test::ReadFile(target / c.expected), "FWSmovie");
        for (const auto& name : c.existing) {
            EXPECT_EQ(test::ReadFile(target / name), "old");
        }
    }
}

TEST_F(SaveEntryTest, NothingStoredSavesToTheHomeFolder) {
    HiveRegistry empty(temp / "other/hkcu.reg");
    SaveServices fresh{files, empty, prompts, temp / "home", ""};
    SaveOutcome outcome;
    SaveEntry(Movie(1, "intro"), false, fresh, &outcome);
    EXPECT_EQ(outcome.savedTo, (std::vector<std::string>{temp / "home/intro.swf"}));
}

// Save As takes the chosen title (cut at its extension) and folder and still never
// overwrites; a cancelled dialog ends the batch.
TEST_F(SaveEntryTest, SaveAsTakesTheChosenTitleAndFolderAndStillNeverOverwrites) {
    const SwfEntry clip = Movie(1, "clip");
    test::MakeFolders(temp / "x");
    test::WriteFile(temp / "x/clip.swf", "old");
    const struct {
        std::string chosen;
        std::string saved;
    } cases[] = {
        {temp / "x/clip.txt", temp / "x/clip01.swf"},
        {temp / "x/my.clip.swf", temp / "x/my.clip.swf"},
        {temp / "x/clip.swf", temp / "x/clip02.swf"},
        {temp / "x/noext", temp / "x/noext.swf"},
    };
    for (const auto& c : cases) {
        prompts.saveAnswers = {c.chosen};
        SaveOutcome outcome;
        EXPECT_EQ(SaveEntry(clip, true, services, &outcome), 1);
        EXPECT_EQ(outcome.savedTo, (std::vector<std::string>{c.saved})) << c.chosen;
    }
    EXPECT_EQ(test::ReadFile(temp / "x/clip.swf"), "old");
    EXPECT_EQ(prompts.saveAsked.front(), (std::pair<std::string, std::string>{out, "clip"}));
    Movie(2, "b");
    Movie(3, "c");
    prompts.saveAsked.clear();
    prompts.saveAnswers = {out + "/first.swf", std::nullopt, out + "/third.swf"};
    const std::vector<std::int32_t> keys = {1, 2, 3};
    const SaveOutcome outcome = OnSaveAs(catalogue, keys, services);
    EXPECT_EQ(outcome.savedTo, (std::vector<std::string>{out + "/first.swf"}));
    EXPECT_EQ(prompts.saveAsked.size(), 2u);
}

// A movie whose file is gone is reported by its name (the reason beneath is pellimor-cli's
// CliTest.ACopyThatFailsSaysWhy) and the rest still saved; the folder is not blamed.
TEST_F(SaveEntryTest, FailedCopyReportsTheNameBaseAndGoesOn) {
    ::unlink(Movie(1, "intro").localPath.c_str());
    Movie(2, "other");
    const std::vector<std::int32_t> keys = {1, 2, 0, -5, 99};
    const SaveOutcome outcome = OnSave(catalogue, keys, services);
    EXPECT_EQ(
        prompts.errors,
        (std::vector<std::string>{std::string(strings::Load(strings::kCopyFailed)) + "intro"}));
    EXPECT_EQ(outcome.savedTo, (std::vector<std::string>{out + "/other.swf"}));
    EXPECT_FALSE(test::FileExists(out + "/intro.swf"));  // no partial file
    EXPECT_TRUE(outcome.unusableFolder.empty());
    // Save All: each missing movie is reported, the rest still saved.
    ::unlink((temp / "cache/other[2].swf").c_str());
    Movie(3, "third");
    prompts.errors.clear();
    EXPECT_EQ(OnSaveAll(catalogue, services).savedTo,
              (std::vector<std::string>{out + "/third.swf"}));
    EXPECT_EQ(prompts.errors.size(), 2u);
}

// A save folder that takes no file: Save and Save All show one message for all the movies,
// with the system's reason and the folder beneath it, and leave nothing behind.
TEST_F(SaveEntryTest, AFolderThatTakesNoFilesGivesOneMessage) {
    test::WriteFile(temp / "plain-file", "x");
    struct Row {
        std::string folder;
        int error;
    };
    std::vector<Row> rows = {
        {temp / "missing", ENOENT},
        {temp / "missing/deeper", ENOENT},
        {temp / "plain-file", ENOTDIR},
        {"/proc", ENOENT},  // a folder of the system where no file can be made
    };
    if (::access("/sys/kernel", F_OK) == 0) {
        rows.push_back({"/sys/kernel", EACCES});
    }
    std::vector<std::int32_t> keys;
    for (int k = 1; k <= 3; ++k) {
        Movie(k, "m" + std::to_string(k));
        keys.push_back(k);
    }
    for (const Row& row : rows) {
        for (const bool all : {true, false}) {
            SCOPED_TRACE(row.folder + (all ? " Save All" : " Save"));
            SetSavePath(registry, row.folder);
            prompts.errors.clear();
            prompts.errorDetails.clear();
            const SaveOutcome outcome =
                all ? OnSaveAll(catalogue, services) : OnSave(catalogue, keys, services);
            EXPECT_EQ(prompts.errors,
                      (std::vector<std::string>{std::string(strings::Load(strings::kCopyFailed)) +
                                                "m1"}));
            ASSERT_EQ(prompts.errorDetails.size(), 1u);
            EXPECT_EQ(prompts.errorDetails[0],
                      std::string(std::strerror(row.error)) + "\nFolder: " + row.folder);
            EXPECT_EQ(outcome.unusableFolder, row.folder);
            EXPECT_TRUE(outcome.savedTo.empty());
        }
    }
    EXPECT_FALSE(test::FileExists(temp / "missing"));  // no folder is ever made
}

TEST_F(SaveEntryTest, SelectionIsCappedAtAThousandLines) {
    std::vector<std::int32_t> keys;
    for (int k = 1; k <= 1200; ++k) {
        Movie(k, std::string(1, 'm').append(std::to_string(k)));
        keys.push_back(k);
    }
    const SaveOutcome outcome = OnSave(catalogue, keys, services);
    EXPECT_EQ(outcome.savedTo.size(), 1000u);
    EXPECT_TRUE(test::FileExists(out + "/m1000.swf"));
    EXPECT_FALSE(test::FileExists(out + "/m1001.swf"));
    EXPECT_EQ(OnSave(catalogue, {}, services).savedTo.size(), 0u);
    EXPECT_EQ(OnSaveAll(catalogue, services).savedTo.size(), 1200u);
}

// A Save All killed in the middle of its third copy: the two before it stand whole under
// their names, the third has no name at all, and nothing else is left in the folder.
TEST_F(SaveEntryTest, ASaveAllKilledMidCopyLeavesNoPartialFileUnderAName) {
    if (!fault::kCompiledIn) {
        GTEST_SKIP() << "this build has no fault hooks (PELLIMOR_FAULT_HOOKS is off)";
    }
    for (int k = 1; k <= 5; ++k) {
        Movie(k, "m" + std::to_string(k), std::string(300 * 1024, static_cast<char>('a' + k)));
    }
    const int ended = test::InChild([&] {
        fault::ArmKillInCopy(3);
        OnSaveAll(catalogue, services);
        return 0;  // not reached: killed with half of m3 written
    });
    EXPECT_EQ(ended, 128 + SIGKILL);
    EXPECT_EQ(test::VisibleNames(out), (std::vector<std::string>{"m1.swf", "m2.swf"}));
    for (const std::string name : {"m1", "m2"}) {
        EXPECT_EQ(test::ReadFile(out + "/" + name + ".swf"),
                  test::ReadFile(temp / ("cache/" + name + "[" + name.substr(1) + "].swf")));
    }
    std::error_code error;
    EXPECT_EQ(std::distance(fs::directory_iterator(out, error), fs::directory_iterator()), 2);
}

// Another program keeps taking the next free names while we save: none of its files is
// ever overwritten, and each of ours is whole. The two meet where they start, so they start
// again in a fresh folder, round after round.
TEST_F(SaveEntryTest, ANameThatAppearsMeanwhileIsNeverOverwritten) {
    const SwfEntry intro = Movie(1, "intro", std::string(64 * 1024, 'm'));
    for (int round = 0; round < 30; ++round) {
        services.folderOverride = temp / ("round" + std::to_string(round));
        test::MakeFolders(services.folderOverride);
        const auto name = [&](int i) {
            return services.folderOverride + "/intro" +
                   (i == 0 ? std::string() : (i < 10 ? "0" : "") + std::to_string(i)) + ".swf";
        };
        std::atomic<bool> stop = false;
        std::atomic<int> planted = 0;
        std::thread rival([&] {
            for (int i = 0; !stop && i < 100; ++i) {
                const int fd = ::open(name(i).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
                if (fd >= 0) {
                    planted += ::write(fd, "rival", 5) == 5 ? 1 : 0;
                    ::close(fd);
                }
            }
        });
        const std::vector<std::int32_t> fourTimes = {1, 1, 1, 1};
        const SaveOutcome outcome = OnSave(catalogue, fourTimes, services);
        EXPECT_EQ(outcome.savedTo.size(), 4u);
        for (const std::string& path : outcome.savedTo) {
            EXPECT_EQ(test::ReadFile(path).size(), 64u * 1024) << path;
        }
        stop = true;
        rival.join();
        int rivals = 0;
        for (int i = 0; i < 100; ++i) {
            rivals += test::FileExists(name(i)) && test::ReadFile(name(i)) == "rival" ? 1 : 0;
        }
        EXPECT_EQ(rivals, planted.load()) << "round " << round;  // every rival file is the rival's
    }
}

}  // namespace
}  // namespace pellimor
