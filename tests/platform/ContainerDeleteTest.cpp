#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

#include <algorithm>
#include <functional>

#include "platform/fileops/HeldFolder.h"
#include "platform/fileops/MappedFile.h"
#include "platform/urlcache/ContainerChecker.h"
#include "platform/urlcache/ContainerDelete.h"
#include "platform/urlcache/DosTime.h"
#include "platform/urlcache/IndexDatCache.h"
#include "support/TempFolder.h"

namespace pellimor {
namespace {

const std::string kWine = std::string(PELLIMOR_TEST_DATA) + "/wininet/wine-made";

class ContainerDeleteTest : public ::testing::Test {
  protected:
    test::TempFolder temp;
    std::string windows = temp / "Windows";
    std::string content = windows + "/INetCache/Content.IE5";

    void SetUp() override {
        ::setenv("TZ", "UTC", 1);
        ::tzset();
        test::MakeFolders(windows + "/INetCache");
        test::CopyTree(kWine + "/Content.IE5", content);
        test::WriteFile(content + "/index.dat",
                        test::ReadFile(kWine + "/Content.IE5.index.before-delete.dat"));
        // The file Wine deleted, and the times the records expect of both files.
        test::WriteFile(content + "/F92DQSGY/intro[0].swf", std::string(24, 'i'));
        MatchWriteTime(content + "/F92DQSGY/intro[0].swf");
        MatchWriteTime(content + "/RW7G0F3Q/sticky[0].swf");
    }
    static void MatchWriteTime(const std::string& path) {
        const std::uint64_t fileTime = FileTimeFromDosTime(0x9f3d5d86);  // as the records hold it
        const time_t seconds = static_cast<time_t>(fileTime / 10'000'000ULL - 11'644'473'600ULL);
        utimbuf times{seconds, seconds};
        ASSERT_EQ(::utime(path.c_str(), &times), 0);
    }
    // The container and its files as they were before any delete.
    void Restore() {
        const std::string model = temp / "model";
        if (!test::FileExists(model)) {
            test::CopyTree(content, model);
        }
        int status = 0;
        test::RunCommand("rm -rf '" + content + "' && cp -a '" + model + "' '" + content + "'",
                         status);
        ASSERT_EQ(status, 0);
    }
    std::vector<std::string> Check() const {
        const auto file = MappedFile::Open(content + "/index.dat");
        const auto view = indexdat::ContainerView::Open(file->bytes());
        return indexdat::CheckContainer(*view);
    }
};

TEST_F(ContainerDeleteTest, MakesExactlyThePlatformsChanges) {
    ASSERT_EQ(Check(), std::vector<std::string>{});
    ::chmod((content + "/RW7G0F3Q/sticky[0].swf").c_str(),
            0444);  // its removal fails: kept as LEAK
    IndexDatCache cache(windows + "/INetCache", 1252);
    const Status first = cache.DeleteEntry("http://www.example.com/flash/intro.swf");
    EXPECT_TRUE(first.ok()) << first.error();
    const Status second = cache.DeleteEntry("http://www.example.com/sticky.swf");
    EXPECT_TRUE(second.ok()) << second.error();
    const std::string ours = test::ReadFile(content + "/index.dat");
    const std::string platform = test::ReadFile(kWine + "/Content.IE5/index.dat");
    ASSERT_EQ(ours.size(), platform.size());
    EXPECT_EQ(std::mismatch(ours.begin(), ours.end(), platform.begin()).first - ours.begin(),
              static_cast<std::ptrdiff_t>(ours.size()))
        << "the first byte that differs";
    EXPECT_FALSE(test::FileExists(content + "/F92DQSGY/intro[0].swf"));
    EXPECT_TRUE(test::FileExists(content + "/RW7G0F3Q/sticky[0].swf"));
    EXPECT_EQ(Check(), std::vector<std::string>{});
    EXPECT_EQ(cache.DeleteEntry("http://www.example.com/flash/intro.swf").ok(), false);  // gone
}

TEST_F(ContainerDeleteTest, AFileThatIsNotTheRecordsOwnStays) {
    // Another write time: the file was replaced since the record was made.
    const utimbuf other{1000000, 1000000};
    ::utime((content + "/F92DQSGY/intro[0].swf").c_str(), &other);
    IndexDatCache cache(windows + "/INetCache", 1252);
    EXPECT_TRUE(cache.DeleteEntry("http://www.example.com/flash/intro.swf").ok());
    EXPECT_TRUE(test::FileExists(content + "/F92DQSGY/intro[0].swf"));
    EXPECT_EQ(Check(), std::vector<std::string>{});
}

// A child process named "holder" that holds what hold takes (the index, the lock) until
// it is killed.
class Holder {
  public:
    explicit Holder(const std::function<bool()>& hold) {
        int ready[2];
        EXPECT_EQ(::pipe(ready), 0);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::prctl(PR_SET_NAME, "holder");
            (void)!::write(ready[1], hold() ? "y" : "n", 1);
            ::pause();
            ::_exit(0);
        }
        EXPECT_EQ(::read(ready[0], &answer_, 1), 1);
        ::close(ready[0]);
        ::close(ready[1]);
    }
    ~Holder() {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    bool holds() const { return answer_ == 'y'; }
    pid_t pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
    char answer_ = 0;
};

// Opens path the way one kind of program does, and maps it where asked; left open.
bool OpenAndMap(const std::string& path, int flags, int protection = 0, int mapping = 0) {
    const int fd = ::open(path.c_str(), flags);
    return fd >= 0 &&
           (mapping == 0 || ::mmap(nullptr, 4096, protection, mapping, fd, 0) != MAP_FAILED);
}

// Only a program that could write its own copy back stops a delete; readers (another
// listing among them) do not.
TEST_F(ContainerDeleteTest, OnlyAProgramThatCouldWriteTheIndexBackStopsADelete) {
    const struct {
        const char* what;
        int flags;
        int protection;
        int mapping;  // 0: the descriptor alone
        bool stops;
    } cases[] = {
        {"a shared writable mapping", O_RDWR, PROT_READ | PROT_WRITE, MAP_SHARED, true},
        {"a descriptor open for reading and writing", O_RDWR, 0, 0, true},
        {"a descriptor open for writing", O_WRONLY, 0, 0, true},
        {"a shared read-only mapping", O_RDONLY, PROT_READ, MAP_SHARED, false},
        {"a private writable mapping", O_RDONLY, PROT_READ | PROT_WRITE, MAP_PRIVATE, false},
        {"a descriptor open for reading", O_RDONLY, 0, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Restore();
        const std::string before = test::ReadFile(content + "/index.dat");
        const Holder holder(
            [&] { return OpenAndMap(content + "/index.dat", c.flags, c.protection, c.mapping); });
        ASSERT_TRUE(holder.holds());
        IndexDatCache cache(windows + "/INetCache", 1252);
        const Status status = cache.DeleteEntry("http://www.example.com/flash/intro.swf");
        if (c.stops) {
            EXPECT_FALSE(status.ok());
            EXPECT_NE(status.error().find("is in use by holder (process " +
                                          std::to_string(holder.pid()) + ")"),
                      std::string::npos)
                << status.error();
            EXPECT_TRUE(test::ReadFile(content + "/index.dat") == before);
        } else {
            EXPECT_TRUE(status.ok()) << status.error();
            EXPECT_FALSE(test::ReadFile(content + "/index.dat") == before);
        }
    }
}

// Our own writers take turns by the lock; one that never lets go is named after the time a
// delete allows. That deletes started together wait their turn is ContainerWriteSafety's.
TEST_F(ContainerDeleteTest, ADeleteNamesTheWriterThatHoldsTheLock) {
    const auto held = HeldFolder::Open(content);
    ASSERT_TRUE(held.ok()) << held.error();
    // The child's lock stays taken until it is killed.
    const Holder holder([&] { return (new ContainerLock(*held))->held(); });
    ASSERT_TRUE(holder.holds());
    const ContainerLock lock(*held, std::chrono::milliseconds(500));
    EXPECT_FALSE(lock.held());
    EXPECT_NE(lock.error().find(" is being changed by holder (process " +
                                std::to_string(holder.pid()) + ")"),
              std::string::npos)
        << lock.error();
}

// Only our writer's own temporary copies go, and only when their contents are ours too.
TEST_F(ContainerDeleteTest, AUsersFilesBesideTheIndexSurviveADelete) {
    const std::string container = test::ReadFile(content + "/index.dat");
    const struct {
        const char* name;
        std::string bytes;
        bool stays;
    } cases[] = {
        {"index.dat.backup", container, true},
        {"index.dat.XyZ123", container, true},
        {"index.dat.pellimor-abcdefghijkl.tmp", "my own notes", true},
        {"index.dat.pellimor-abcdefghijkl.tmp", std::string(5 << 20, 'x'), true},
        {"index.dat.pellimor-abcdefghijkl.tmp", container, false},  // a killed writer's
        {"index.dat.pellimor-abcdefghijkl.tmp", container.substr(0, 10), false},
        {"index.dat.pellimor-abcdefghijkl.tmp", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " of " + std::to_string(c.bytes.size()) + " bytes");
        Restore();
        const std::string path = content + "/" + c.name;
        test::WriteFile(path, c.bytes);
        IndexDatCache cache(windows + "/INetCache", 1252);
        const Status status = cache.DeleteEntry("http://www.example.com/flash/intro.swf");
        EXPECT_TRUE(status.ok()) << status.error();
        EXPECT_EQ(test::FileExists(path), c.stays);
        if (c.stays) {
            EXPECT_TRUE(test::ReadFile(path) == c.bytes);  // 5 MiB not printed
        }
        ::unlink(path.c_str());
    }
    // One of ours that a running program still has open stays too.
    const std::string ours = content + "/index.dat.pellimor-0123456789ab.tmp";
    test::WriteFile(ours, container);
    {
        const Holder reader([&] { return OpenAndMap(ours, O_RDONLY); });
        ASSERT_TRUE(reader.holds());
        IndexDatCache cache(windows + "/INetCache", 1252);
        (void)cache.DeleteEntry("http://www.example.com/sticky.swf");
        EXPECT_TRUE(test::FileExists(ours));
    }
}

}  // namespace
}  // namespace pellimor
