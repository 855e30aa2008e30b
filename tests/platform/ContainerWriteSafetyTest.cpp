// Deletes as several processes, a killed writer and a full disk see them: every delete kept,
// exactly the chosen record taken, a failed write reported, nothing left behind.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "platform/FaultHooks.h"
#include "platform/fileops/MappedFile.h"
#include "platform/urlcache/CacheWriter.h"
#include "platform/urlcache/ContainerChecker.h"
#include "platform/urlcache/IndexDatCache.h"
#include "platform/urlcache/IndexDatFormat.h"
#include "support/Outcome.h"
#include "support/TempFolder.h"

namespace pellimor {
namespace {

namespace fs = std::filesystem;

std::string MovieUrl(int i) {
    return "http://games" + std::to_string(i % 3) + ".example/m" + std::to_string(i) + ".swf";
}

// A profile whose content container holds count movies.
std::string MakeProfile(const std::string& windows, int count) {
    CacheProfileWriter writer(windows, indexdat::Flavour::kInternetExplorer, 5);
    for (int i = 0; i < count; ++i) {
        ContentEntry entry;
        entry.url = MovieUrl(i);
        entry.body = "FWS" + std::string(static_cast<std::size_t>(100 + i), 'x');
        entry.extension = "swf";
        EXPECT_TRUE(test::Ok(writer.AddContent(entry)));
    }
    EXPECT_TRUE(test::Ok(writer.Save()));
    return writer.cacheFolder();
}

// A copy that keeps the files' times, which decide whether a delete removes a file.
void CopyKeepingTimes(const std::string& from, const std::string& to) {
    int status = 0;
    test::RunCommand("cp -a '" + from + "' '" + to + "'", status);
    ASSERT_EQ(status, 0);
}

std::vector<CacheRecord> Records(const std::string& cacheFolder) {
    IndexDatCache cache(cacheFolder, 1252);
    std::vector<CacheRecord> records;
    EXPECT_TRUE(cache
                    .EnumerateRecords([&](const CacheRecord& r) {
                        records.push_back(r);
                        return true;
                    })
                    .ok());
    return records;
}

CacheEntryRef RefOf(const CacheRecord& r) {
    return {IndexDatEntryId("", r), r.url, r.localFileName};
}

std::optional<CacheRecord> Find(const std::vector<CacheRecord>& records, const std::string& url) {
    for (const CacheRecord& r : records) {
        if (r.url == url) {
            return r;
        }
    }
    return std::nullopt;
}

std::vector<std::string> Problems(const std::string& index) {
    const auto file = MappedFile::Open(index);
    if (!file) {
        return {file.error()};
    }
    const auto view = indexdat::ContainerView::Open(file->bytes());
    if (!view) {
        return {view.error()};
    }
    return indexdat::CheckContainer(*view);
}

std::vector<std::string> Temporaries(const std::string& folder) {
    std::vector<std::string> found;
    for (const auto& item : fs::directory_iterator(folder)) {
        if (item.path().filename().string().rfind("index.dat.", 0) == 0) {
            found.push_back(item.path().string());
        }
    }
    return found;
}

TEST(ContainerWriteSafety, ConcurrentDeletesOfOneContainerKeepEveryDelete) {
    test::TempFolder temp;
    const std::string model = MakeProfile(temp / "model", 24);
    int lost = 0;
    for (int trial = 0; trial < 25; ++trial) {
        const std::string windows = temp / ("t" + std::to_string(trial));
        CopyKeepingTimes(temp / "model", windows);
        const std::string cacheFolder = windows + "/INetCache";
        const auto records = Records(cacheFolder);
        const CacheRecord a = *Find(records, MovieUrl(trial % 12));
        const CacheRecord b = *Find(records, MovieUrl(12 + trial % 12));
        int go[2];
        ASSERT_EQ(::pipe(go), 0);
        std::vector<pid_t> children;
        for (const CacheRecord* chosen : {&a, &b}) {
            const pid_t child = ::fork();
            if (child == 0) {
                char start = 0;
                ::close(go[1]);
                (void)!::read(go[0], &start, 1);  // both begin together
                IndexDatCache cache(cacheFolder, 1252);
                ::_exit(cache.DeleteEntries({RefOf(*chosen)}).front().ok() ? 0 : 1);
            }
            children.push_back(child);
        }
        ::close(go[0]);
        ::close(go[1]);  // releases both
        for (const pid_t child : children) {
            int raw = 0;
            ::waitpid(child, &raw, 0);
            EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << "trial " << trial;
        }
        const auto after = Records(cacheFolder);
        lost += Find(after, *a.url).has_value() + Find(after, *b.url).has_value();
        EXPECT_FALSE(fs::exists(*a.localFileName));
        EXPECT_FALSE(fs::exists(*b.localFileName));
        for (const CacheRecord& r : after) {
            if (r.localFileName) {
                EXPECT_TRUE(fs::exists(*r.localFileName)) << "a record whose file is gone";
            }
        }
        EXPECT_EQ(Problems(a.container), std::vector<std::string>{});
    }
    EXPECT_EQ(lost, 0) << "deletes that came back";
}

TEST(ContainerWriteSafety, ARecordThatChangedSinceItWasListedIsNotTouched) {
    test::TempFolder temp;
    const std::string cacheFolder = MakeProfile(temp / "Windows", 6);
    const auto records = Records(cacheFolder);
    const std::string before = test::ReadFile(records.front().container);
    struct Case {
        const char* what;
        CacheEntryRef ref;
    };
    CacheEntryRef otherUrl = RefOf(records[0]);
    otherUrl.url = MovieUrl(99);
    CacheEntryRef otherFile = RefOf(records[0]);
    otherFile.localFileName = *records[1].localFileName;
    CacheEntryRef otherOffset = RefOf(records[0]);
    otherOffset.id.locator += indexdat::kBlockSize;
    CacheEntryRef otherContainer = RefOf(records[0]);
    otherContainer.id.file = temp / "elsewhere/index.dat";
    for (const Case& c : {Case{"another address", otherUrl}, Case{"another file", otherFile},
                          Case{"another offset", otherOffset},
                          Case{"a container not of this cache", otherContainer}}) {
        IndexDatCache cache(cacheFolder, 1252);
        const Status status = cache.DeleteEntries({c.ref}).front();
        EXPECT_FALSE(status.ok()) << c.what;
        EXPECT_FALSE(status.error().empty()) << c.what;
        EXPECT_EQ(test::ReadFile(records.front().container), before) << c.what;
        EXPECT_TRUE(fs::exists(*records[0].localFileName)) << c.what;
    }
}

TEST(ContainerWriteSafety, AWriterKilledBeforeItsRenameLeavesTheContainerAndNoTemporaryForLong) {
    if (!fault::kCompiledIn) {
        GTEST_SKIP() << "this build has no fault hooks (PELLIMOR_FAULT_HOOKS is off)";
    }
    test::TempFolder temp;
    const std::string cacheFolder = MakeProfile(temp / "Windows", 8);
    const auto records = Records(cacheFolder);
    const std::string index = records.front().container;
    const std::string before = test::ReadFile(index);
    const int ended = test::InChild([&] {
        fault::ArmKillBeforeRename();
        IndexDatCache cache(cacheFolder, 1252);
        cache.DeleteEntries({RefOf(records[2])});
        return 0;  // not reached: the writer is killed with its copy written
    });
    EXPECT_EQ(ended, 128 + SIGKILL);
    EXPECT_EQ(test::ReadFile(index), before);
    EXPECT_EQ(Problems(index), std::vector<std::string>{});
    EXPECT_EQ(Temporaries(fs::path(index).parent_path()).size(), 1u);
    IndexDatCache cache(cacheFolder, 1252);
    EXPECT_TRUE(cache.DeleteEntries({RefOf(records[3])}).front().ok());
    EXPECT_EQ(Temporaries(fs::path(index).parent_path()), std::vector<std::string>{});
    EXPECT_EQ(Problems(index), std::vector<std::string>{});
}

TEST(ContainerWriteSafety, AFailedWriteOfAPendingDeleteIsReported) {
    test::TempFolder temp;
    const std::string cacheFolder = MakeProfile(temp / "Windows", 4);
    const auto records = Records(cacheFolder);
    const std::string index = records.front().container;
    // A running program holds the entry: its use count is set.
    std::string bytes = test::ReadFile(index);
    bytes[records[1].recordOffset + indexdat::url::kUseCount] = 1;
    test::WriteFile(index, bytes);
    const int ended = test::InChild([&] {
        // A disk that takes no more: the copy of the container cannot be written.
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit small{1024, 1024};
        ::setrlimit(RLIMIT_FSIZE, &small);
        IndexDatCache cache(cacheFolder, 1252);
        const Status status = cache.DeleteEntries({RefOf(records[1])}).front();
        const bool saysWriteFailed = status.error().find("cannot write") != std::string::npos;
        return !status.ok() && saysWriteFailed ? 0 : 1;
    });
    EXPECT_EQ(ended, 0);
    EXPECT_EQ(test::ReadFile(index), bytes);
    EXPECT_EQ(Temporaries(fs::path(index).parent_path()), std::vector<std::string>{});
}

// A folder without write bits, its index writable: read-only by its mode, for root too (as
// root the rename would succeed). --read-only and a read-only index are app/CliDeleteTest's.
TEST(ContainerWriteSafety, AFolderWithoutWriteBitsIsNeverWritten) {
    test::TempFolder temp;
    const std::string cacheFolder = MakeProfile(temp / "Windows", 4);
    const auto records = Records(cacheFolder);
    const std::string index = records.front().container;
    const std::string before = test::ReadFile(index);
    const std::string content = fs::path(index).parent_path().string();
    ASSERT_EQ(::chmod(content.c_str(), 0555), 0);
    IndexDatCache cache(cacheFolder, 1252);
    EXPECT_FALSE(cache.CanDelete().ok());
    const Status status = cache.DeleteEntries({RefOf(records[0])}).front();
    ::chmod(content.c_str(), 0755);
    EXPECT_FALSE(status.ok());
    EXPECT_EQ(status.error(), content + " cannot be written");
    EXPECT_EQ(test::ReadFile(index), before);
    EXPECT_TRUE(fs::exists(*records[0].localFileName));
    EXPECT_TRUE(IndexDatCache(cacheFolder, 1252).CanDelete().ok());
}

}  // namespace
}  // namespace pellimor
