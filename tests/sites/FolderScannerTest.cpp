#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <map>

#include "platform/fileops/PosixFileOps.h"
#include "sites/FolderScanner.h"
#include "support/TempFolder.h"

namespace pellimor {
namespace {

TEST(StripTrailingSeparators, RemovesSlashesAfterWhiteSpace) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"/c/Cache//", "/c/Cache"}, {"/c/Cache/", "/c/Cache"},
        {"/c/Cache", "/c/Cache"},   {"/c/a/ \t", "/c/a"},
        {"/c/a \n", "/c/a \n"},     {"/", ""},
        {"c\\a\\", "c\\a\\"},       {"", ""},
        {"/c/a/ / ", "/c/a"},
    };
    for (const auto& c : cases) {
        std::string path = c.in;
        StripTrailingSeparators(path);
        EXPECT_EQ(path, c.out) << c.in;
    }
}

// Letter case and names like the cache's own are matched in the walk's test below.
TEST(MatchesWildcard, WholeNameWithoutRegardToCase) {
    const struct {
        const char* name;
        const char* pattern;
        bool match;
    } cases[] = {
        {"intro[1].swf", "*.swf", true}, {".swf", "*.swf", true},   {"a.b.swf", "*.swf", true},
        {"anything", "*.*", false},      {"x.y", "*.*", true},      {"abc", "a?c", true},
        {"abc", "a*b*c*", true},         {"*x.swf", "*.swf", true},  // a star in a name (possible
                                                                     // here) is no wildcard
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MatchesWildcard(c.name, c.pattern), c.match) << c.name << " " << c.pattern;
    }
}

class FolderScannerTest : public ::testing::Test {
  protected:
    test::TempFolder temp;
    PosixFileOps files;
    std::string File(const std::string& relative) {
        const std::string path = temp / relative;
        test::MakeFolders(path.substr(0, path.rfind('/')));
        test::WriteFile(path, "FWS");
        return path;
    }
    std::vector<std::string> Found(const std::string& root, const char* pattern = "*.swf") {
        FolderScanner scanner(files);
        scanner.SetRoot(root.c_str(), true);
        EXPECT_TRUE(scanner.FindFiles(pattern, true, false));
        std::vector<std::string> paths;
        for (const FoundFile& f : scanner.results()) {
            paths.push_back(f.path);
        }
        return paths;
    }
};

// The real file system, counting how often each folder is listed.
class CountingFileOps : public PosixFileOps {
  public:
    std::map<std::string, int> listed;
    Result<std::vector<FolderItem>> ListFolder(
        const std::string& path, const std::function<bool(std::string_view)>& detailsFor) override {
        std::string folder = path;
        StripTrailingSeparators(folder);
        ++listed[folder];
        return PosixFileOps::ListFolder(path, detailsFor);
    }
};

// Folders after what they hold, the root last; only matching files, hidden ones too; links
// back up the tree entered no second time. The leftover listing's one walk lists each folder
// once and gives the results, their order, their details and the folders of SetRoot and
// FindFiles.
TEST_F(FolderScannerTest, PostOrderRootLastAndOneWalkListsEachFolderOnce) {
    File("A/A1/deep.swf");
    File("A/a.SWF");
    File("B/b.Swf");
    File("top.swf");
    File("B/x.swf.bak");
    File("B/swf");
    File(".hidden/h.swf");
    File("B/.h.swf");
    test::MakeFolders(temp / "B/folder.swf");
    ASSERT_EQ(::symlink(temp.path().c_str(), (temp / "A/up").c_str()), 0);
    ASSERT_EQ(::symlink((temp / "A").c_str(), (temp / "A/A1/loop").c_str()), 0);
    ASSERT_EQ(::symlink((temp / "B/b.Swf").c_str(), (temp / "A/link.swf").c_str()), 0);
    ASSERT_EQ(::symlink((temp / "gone").c_str(), (temp / "A/dangling.swf").c_str()), 0);
    ASSERT_EQ(::mkfifo((temp / "B/fifo.swf").c_str(), 0644), 0);
    FolderScanner twice(files);
    twice.SetRoot((temp.path() + "//").c_str(), true);
    EXPECT_EQ(twice.folders(),
              (std::vector<std::string>{temp / ".hidden", temp / "A/A1", temp / "A",
                                        temp / "B/folder.swf", temp / "B", temp.path()}));
    ASSERT_TRUE(twice.FindFiles("*.swf", true, false));
    std::vector<std::string> paths;
    for (const FoundFile& f : twice.results()) {
        paths.push_back(f.path);
    }
    // Links and a FIFO are names like any other here; what they are is checked when read.
    EXPECT_EQ(paths, (std::vector<std::string>{
                         temp / ".hidden/h.swf", temp / "A/A1/deep.swf", temp / "A/a.SWF",
                         temp / "A/dangling.swf", temp / "A/link.swf", temp / "B/.h.swf",
                         temp / "B/b.Swf", temp / "B/fifo.swf", temp / "top.swf"}));
    CountingFileOps counted;
    FolderScanner once(counted);
    once.FindFilesBelow((temp.path() + "/").c_str(), "*.swf");
    EXPECT_EQ(once.folders(), twice.folders());
    const auto details = [](const FolderScanner& scanner) {
        std::vector<std::string> lines;
        for (const FoundFile& f : scanner.results()) {
            lines.push_back(f.path + " " + std::to_string(f.attributes) + " " +
                            std::to_string(f.size) + " " + std::to_string(f.lastWritten));
        }
        return lines;
    };
    EXPECT_EQ(details(once), details(twice));
    EXPECT_EQ(counted.listed.size(), once.folders().size());
    for (const auto& [folder, times] : counted.listed) {
        EXPECT_EQ(times, 1) << folder;
    }
}

// A root that is missing, none at all, a tree of empty folders, and one as deep as the
// system's path limit lets a folder be listed.
TEST_F(FolderScannerTest, MissingEmptyAndDeepTrees) {
    EXPECT_TRUE(Found(temp / "missing").empty());
    test::MakeFolders(temp / "empty/inner");
    EXPECT_TRUE(Found(temp / "empty").empty());
    FolderScanner none(files);
    none.SetRoot(nullptr, true);
    EXPECT_EQ(none.folders(), (std::vector<std::string>{""}));
    std::string path = temp / "deep";
    ASSERT_EQ(::mkdir(path.c_str(), 0755), 0);
    for (int i = 0; i < 1500; ++i) {
        path += "/d";
        ASSERT_EQ(::mkdir(path.c_str(), 0755), 0) << i;
    }
    test::WriteFile(path + "/bottom.swf", "FWS");
    FolderScanner scanner(files);
    scanner.SetRoot((temp / "deep").c_str(), true);
    ASSERT_EQ(scanner.folders().size(), 1501u);
    EXPECT_EQ(scanner.folders().front(), path);
    EXPECT_EQ(scanner.folders().back(), temp / "deep");
    EXPECT_TRUE(scanner.FindFiles("*.swf", true, false));
    ASSERT_EQ(scanner.results().size(), 1u);
    EXPECT_EQ(scanner.results()[0].path, path + "/bottom.swf");
}

}  // namespace
}  // namespace pellimor
