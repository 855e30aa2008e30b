#include <gtest/gtest.h>

#include "catalogue/CacheScan.h"
#include "support/FolderListingTest.h"

namespace pellimor {
namespace {

class LeftoversTest : public test::FolderListingTest {
  protected:
    ListingState state;

    std::string File(const std::string& relative, std::size_t size = 10) {
        const std::string path = temp / relative;
        test::MakeFolders(path.substr(0, path.rfind('/')));
        test::WriteFile(path, std::string(size, 'x'));
        return path;
    }
};

TEST_F(LeftoversTest, ListsFilesNoSwfEntryRefersTo) {
    const std::string cached = File("K1/intro[1].swf");
    const std::string caseOnly = File("K1/Game[1].swf");
    const std::string cookie = File("K2/c.swf");
    const std::string htm = File("K2/page.swf");
    const std::string alone = File("lone.SWF", 256);
    File("K2/notes.txt");
    cache.Add("http://e.com/intro.swf", cached);
    cache.Add("http://e.com/intro.swf?again", cached);            // two entries, one file
    cache.Add("http://e.com/game.swf", temp / "K1/game[1].swf");  // differs in case only
    cache.Add("Cookie:u@e.com/", cookie, test::kCookieCacheEntry);
    cache.Add("http://e.com/page.htm", htm.substr(0, htm.size() - 3) + "htm");
    ScanLeftovers(state, services);
    std::vector<std::string> paths;
    for (const SwfEntry& e : state.catalogue) {
        paths.push_back(e.localPath);
        EXPECT_EQ(e.url, e.localPath);
        EXPECT_EQ(e.lastModified, "");
    }
    // Folder by folder, deepest first, the root last; by name inside a folder.
    EXPECT_EQ(paths, (std::vector<std::string>{caseOnly, cookie, htm, alone}));
    EXPECT_EQ(state.catalogue.GetEntryByKey(4).sizeText, "0.3 KB");
    // Keys follow the scan, not the sorted list; the first line is shown.
    std::vector<std::pair<std::string, std::int32_t>> lines;
    for (const auto& l : state.movieLines) {
        lines.emplace_back(l.text, l.key);
    }
    EXPECT_EQ(lines, (std::vector<std::pair<std::string, std::int32_t>>{
                         {"c", 2}, {"Game", 1}, {"lone", 4}, {"page", 3}}));
    EXPECT_EQ(state.shownKey, 2);
}

}  // namespace
}  // namespace pellimor
