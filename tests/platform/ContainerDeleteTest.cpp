#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

#include "platform/fileops/MappedFile.h"
#include "platform/urlcache/ContainerChecker.h"
#include "platform/urlcache/DosTime.h"
#include "platform/urlcache/IndexDatCache.h"
#include "support/MsiecfDump.h"
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
    std::vector<std::string> Check() const {
        std::string error;
        const auto file = MappedFile::Open(content + "/index.dat", error);
        const auto view = indexdat::ContainerView::Open(file->bytes(), error);
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
    for (std::size_t i = 0; i < ours.size(); ++i) {
        ASSERT_EQ(static_cast<unsigned char>(ours[i]), static_cast<unsigned char>(platform[i]))
            << "offset " << i;
    }
    EXPECT_FALSE(test::FileExists(content + "/F92DQSGY/intro[0].swf"));
    EXPECT_TRUE(test::FileExists(content + "/RW7G0F3Q/sticky[0].swf"));
    EXPECT_EQ(Check(), std::vector<std::string>{});
    // msiecfexport accepts the result once it is given the signature it knows.
    std::string patched = ours;
    patched.replace(0, 28, std::string("Client UrlCache MMF Ver 5.2\0", 28));
    test::WriteFile(temp / "patched.dat", patched);
    const auto dump = test::ParseMsiecfDump(test::RunMsiecfexport(temp / "patched.dat"));
    EXPECT_EQ(dump.size(), 22u);
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

TEST_F(ContainerDeleteTest, RefusesAnInconsistentContainerAndChangesNothing) {
    std::string bytes = test::ReadFile(content + "/index.dat");
    bytes[0x28] = static_cast<char>(bytes[0x28] + 1);  // blocks in use off by one
    test::WriteFile(content + "/index.dat", bytes);
    IndexDatCache cache(windows + "/INetCache", 1252);
    const Status status = cache.DeleteEntry("http://www.example.com/flash/intro.swf");
    EXPECT_FALSE(status.ok());
    EXPECT_NE(status.error().find("inconsistent"), std::string::npos) << status.error();
    EXPECT_EQ(test::ReadFile(content + "/index.dat"), bytes);
    EXPECT_TRUE(test::FileExists(content + "/F92DQSGY/intro[0].swf"));
}

TEST_F(ContainerDeleteTest, RefusesWhileAnotherProcessHasTheIndexMapped) {
    const std::string before = test::ReadFile(content + "/index.dat");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        const int fd = ::open((content + "/index.dat").c_str(), O_RDWR);
        void* map = ::mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        ::write(ready[1], map == MAP_FAILED ? "n" : "y", 1);
        ::pause();
        ::_exit(0);
    }
    char answer = 0;
    ASSERT_EQ(::read(ready[0], &answer, 1), 1);
    IndexDatCache cache(windows + "/INetCache", 1252);
    const Status status = cache.DeleteEntry("http://www.example.com/flash/intro.swf");
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_EQ(answer, 'y');
    EXPECT_FALSE(status.ok());
    EXPECT_NE(status.error().find("in use"), std::string::npos) << status.error();
    EXPECT_EQ(test::ReadFile(content + "/index.dat"), before);
}

TEST_F(ContainerDeleteTest, RecordsNamingFilesOutsideTheirFoldersNeverRemoveAFile) {
    // Point intro.swf's record at "../../x.swf": the name is refused, nothing outside is removed.
    std::string bytes = test::ReadFile(content + "/index.dat");
    const std::size_t record = 0x5000;
    const std::uint32_t nameAt = 0x90;
    bytes.replace(record + nameAt, 12, std::string("../x.swf\0\0\0\0", 12));
    test::WriteFile(content + "/index.dat", bytes);
    test::WriteFile(windows + "/INetCache/x.swf", "precious");
    IndexDatCache cache(windows + "/INetCache", 1252);
    bool sawLocal = false;
    EXPECT_TRUE(cache
                    .EnumerateRecords([&](const CacheRecord& r) {
                        if (r.url == "http://www.example.com/flash/intro.swf") {
                            sawLocal = r.localFileName.has_value();
                        }
                        return true;
                    })
                    .ok());
    EXPECT_FALSE(sawLocal);
    EXPECT_TRUE(cache.DeleteEntry("http://www.example.com/flash/intro.swf").ok());
    EXPECT_EQ(test::ReadFile(windows + "/INetCache/x.swf"), "precious");
    EXPECT_EQ(Check(), std::vector<std::string>{});
}

}  // namespace
}  // namespace pellimor
