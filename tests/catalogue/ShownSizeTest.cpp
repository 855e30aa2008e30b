// The window's scans leave each cached file's size to be looked up when its movie is shown;
// the terminal's listing still gives every size at the scan.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "catalogue/CacheScan.h"
#include "catalogue/DisplayTexts.h"
#include "platform/fileops/PosixFileOps.h"
#include "support/FakeCache.h"
#include "support/TempFolder.h"

namespace pellimor {
namespace {

class ShownSizeTest : public ::testing::Test {
  protected:
    test::TempFolder temp;
    test::FakeCache cache;
    PosixFileOps files;
    ListingServices services{cache, files,
                             [this] { return std::optional<std::string>(temp.path()); }};
    ListingState state;

    std::string Movie(const std::string& name, std::size_t size) {
        test::WriteFile(temp / name, std::string(size, 'x'));
        cache.Add("http://e.com/" + name, temp / name);
        return temp / name;
    }
};

TEST_F(ShownSizeTest, WindowScanGivesTheSizeTheFileHasWhenShown) {
    const std::string path = Movie("a[1].swf", 300);
    state.sizesWhenShown = true;
    ScanCache(state, services);
    ASSERT_EQ(state.catalogue.Count(), 1u);
    test::WriteFile(path, std::string(3000, 'x'));  // changed after the scan
    const SwfEntry shown = ShownSize(state.catalogue.GetEntryByKey(1), files);
    EXPECT_EQ(shown.sizeText, FormatSizeText(3000));
    EXPECT_EQ(shown.sizeBytes, 3000u);
    // Everything else is the entry as listed.
    SwfEntry listed = state.catalogue.GetEntryByKey(1);
    listed.sizeText = shown.sizeText;
    listed.sizeBytes = shown.sizeBytes;
    listed.sizeWhenShown = false;
    EXPECT_EQ(shown, listed);
}

TEST_F(ShownSizeTest, TerminalScanGivesEverySizeAtTheScan) {
    const std::string path = Movie("a[1].swf", 300);
    ScanCache(state, services);
    test::WriteFile(path, std::string(3000, 'x'));
    const SwfEntry listed = state.catalogue.GetEntryByKey(1);
    EXPECT_EQ(listed.sizeText, FormatSizeText(300));
    EXPECT_EQ(ShownSize(listed, files), listed);
}

// What stands at the cached file's place when the movie is shown: nothing is read from it,
// and no size is given for anything but a regular file.
TEST_F(ShownSizeTest, NoSizeForWhatIsNoFileWhenShown) {
    const struct {
        const char* what;
        void (*replace)(const std::string& path);
    } cases[] = {
        {"gone", [](const std::string& p) { ASSERT_EQ(::unlink(p.c_str()), 0); }},
        {"FIFO",
         [](const std::string& p) {
             ASSERT_EQ(::unlink(p.c_str()), 0);
             ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0);
         }},
        {"link to /dev/zero",
         [](const std::string& p) {
             ASSERT_EQ(::unlink(p.c_str()), 0);
             ASSERT_EQ(::symlink("/dev/zero", p.c_str()), 0);
         }},
        {"folder",
         [](const std::string& p) {
             ASSERT_EQ(::unlink(p.c_str()), 0);
             ASSERT_EQ(::mkdir(p.c_str(), 0700), 0);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempFolder folder;
        test::FakeCache one;
        const std::string path = folder / "m[1].swf";
        test::WriteFile(path, std::string(300, 'x'));
        one.Add("http://e.com/m.swf", path);
        ListingServices here{one, files, [&] { return std::optional<std::string>(folder.path()); }};
        ListingState window;
        window.sizesWhenShown = true;
        ScanCache(window, here);
        c.replace(path);
        const SwfEntry shown = ShownSize(window.catalogue.GetEntryByKey(1), files);
        EXPECT_EQ(shown.sizeText, "");
        EXPECT_EQ(shown.sizeBytes, std::nullopt);
    }
}

}  // namespace
}  // namespace pellimor
