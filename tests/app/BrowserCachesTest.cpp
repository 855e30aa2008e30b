// Every browser's cache under the folder the user names, through pellimor-cli: found
// wherever it sits in a Windows user folder or a Linux home, whatever the letter case of its
// folders; each movie listed under its site and saved byte for byte as the server sent it.
// The caches are the real browsers' (tests/data/browsers/made, see its README).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "app/CliRun.h"

namespace pellimor {
namespace {

namespace fs = std::filesystem;

const std::string kMade = std::string(PELLIMOR_TEST_DATA) + "/browsers/made";

// Standard output and error of pellimor-cli, which must succeed.
std::string Ok(const test::TempFolder& temp, const std::string& arguments,
               const std::string& environment = "") {
    const test::Ran ran = test::Cli(temp.path(), arguments, false, environment);
    EXPECT_EQ(ran.status, 0) << arguments << "\n" << ran.out;
    return ran.out;
}

void CopyTree(const std::string& from, const std::string& to) {
    fs::create_directories(fs::path(to).parent_path());
    test::CopyTree(from, to);
}

// The movies of a JSON listing: address -> source (of the last listed, where several
// caches hold one address).
std::map<std::string, std::string> Movies(const std::string& json) {
    std::map<std::string, std::string> movies;
    static const std::regex movie(R"re("url": "([^"]*)".*?"source": "([^"]*)")re");
    for (auto it = std::sregex_iterator(json.begin(), json.end(), movie);
         it != std::sregex_iterator(); ++it) {
        movies[(*it)[1]] = (*it)[2];
    }
    return movies;
}

// How many movies each source lists.
std::map<std::string, int> CountBySource(const std::string& json) {
    std::map<std::string, int> counts;
    static const std::regex source(R"re("source": "([^"]*)")re");
    for (auto it = std::sregex_iterator(json.begin(), json.end(), source);
         it != std::sregex_iterator(); ++it) {
        ++counts[(*it)[1]];
    }
    return counts;
}

// The movies the server sent, as the made caches' MANIFEST lists them.
const std::vector<std::string> kServed = {
    "http://127.0.0.1:18765/games/puzzle.swf",
    "http://127.0.0.1:18765/games/levels/level1.swf",
    "http://127.0.0.1:18765/games/rocket.swf",         // sent gzip-encoded
    "http://127.0.0.1:18765/games/getmovie.php?id=7",  // sent as octet-stream
    "http://localhost:18765/shorts/rain.swf",
    "http://localhost:18765/players/APlayer.swf",
};

struct Layout {
    const char* what;
    // Where each made cache goes below the temporary folder ("" leaves it out).
    std::string chromium;
    std::string firefox;
    std::string given;                   // --cache, below the temporary folder
    std::map<std::string, int> sources;  // how many movies each source lists
};

TEST(BrowserCachesTest, FindsEveryCacheUnderTheFolderGiven) {
    const std::string chromeData = "Users/ana/AppData/Local/Google/Chrome/User Data/Default";
    const std::string firefoxLocal =
        "Users/ana/AppData/Local/Mozilla/Firefox/Profiles/k3x9.default";
    const Layout layouts[] = {
        {"a Windows user folder with both browsers",
         chromeData + "/Cache/Cache_Data",
         firefoxLocal + "/cache2",
         "Users/ana",
         {{"Chrome", 6}, {"Firefox", 6}}},
        {"the folder of every user",
         chromeData + "/Cache/Cache_Data",
         firefoxLocal + "/cache2",
         "Users",
         {{"Chrome", 6}, {"Firefox", 6}}},
        {"folder names in other letter cases, as FAT sticks and zips leave them",
         "USERS/ANA/APPDATA/LOCAL/GOOGLE/CHROME/USER DATA/DEFAULT/CACHE/CACHE_DATA",
         "USERS/ANA/APPDATA/LOCAL/MOZILLA/FIREFOX/PROFILES/K3X9.DEFAULT/CACHE2",
         "USERS/ANA",
         {{"Chrome", 6}, {"Firefox", 6}}},
        {"a Linux home",
         ".cache/chromium/Default/Cache/Cache_Data",
         ".cache/mozilla/firefox/k3x9.default-esr/cache2",
         "",
         {{"Chrome", 6}, {"Firefox", 6}}},
        {"the cache folder itself", "dir/Cache_Data", "", "dir/Cache_Data", {{"Chrome", 6}}},
        {"a cache folder named by --disk-cache-dir",
         "anything/Default/Cache/Cache_Data",
         "",
         "anything",
         {{"Chrome", 6}}},
    };
    for (const Layout& layout : layouts) {
        SCOPED_TRACE(layout.what);
        test::TempFolder temp;
        const std::string home = temp.path() + "/home";
        if (!layout.chromium.empty()) {
            CopyTree(kMade + "/chromium-simple/Default/Cache/Cache_Data",
                     home + "/" + layout.chromium);
        }
        if (!layout.firefox.empty()) {
            CopyTree(kMade + "/firefox/cache2", home + "/" + layout.firefox);
        }
        // A link out of the home to another cache, and one around in a circle: neither is
        // followed, so the home lists its own two caches once.
        CopyTree(kMade + "/chromium-simple/Default/Cache/Cache_Data", temp / "outside/Cache");
        fs::create_directories(home + "/ana");
        fs::create_directory_symlink(temp / "outside", home + "/ana/elsewhere");
        fs::create_directory_symlink(home, home + "/ana/loop");
        const std::string out = Ok(temp, "list --json --cache '" + home + "/" + layout.given + "'");
        EXPECT_EQ(CountBySource(out), layout.sources) << out;
    }
}

// One movie held by two browsers: the text listing says which line is whose, in a column
// of its own before the address; the other columns stay as they were.
TEST(BrowserCachesTest, TheTextListingNamesTheBrowserOfEachLine) {
    test::TempFolder temp;
    const std::string home = temp.path() + "/home";
    CopyTree(kMade + "/chromium-simple/Default/Cache/Cache_Data",
             home + "/.cache/chromium/Default/Cache/Cache_Data");
    CopyTree(kMade + "/firefox/cache2", home + "/.cache/mozilla/firefox/k3x9.default-esr/cache2");
    const std::string out = Ok(temp, "list --cache '" + home + "'");
    std::map<std::string, int> lines;  // source and address -> lines
    std::set<std::size_t> addressColumns;
    static const std::regex line(R"re((puzzle|rain) +.*  (Chrome |Firefox)  (http://.*))re");
    std::istringstream text(out);
    for (std::string shown; std::getline(text, shown);) {
        std::smatch m;
        if (std::regex_match(shown, m, line)) {
            ++lines[m[2].str() + " " + m[3].str()];
            addressColumns.insert(static_cast<std::size_t>(m.position(3)));
        }
    }
    const std::map<std::string, int> expected = {
        {"Chrome  http://127.0.0.1:18765/games/puzzle.swf", 1},
        {"Firefox http://127.0.0.1:18765/games/puzzle.swf", 1},
        {"Chrome  http://localhost:18765/shorts/rain.swf", 1},
        {"Firefox http://localhost:18765/shorts/rain.swf", 1},
    };
    EXPECT_EQ(lines, expected) << out;
    EXPECT_EQ(addressColumns.size(), 1u) << out;
    // A listing of leftover files only, which no browser names, has no such column.
    const std::string leftovers = Ok(temp, "list --leftovers --cache '" + home + "'");
    EXPECT_EQ(leftovers.find("Chrome"), std::string::npos) << leftovers;
    EXPECT_EQ(leftovers.find("Firefox"), std::string::npos) << leftovers;
}

// Without --cache: the Wine prefix's user folder, so that Internet Explorer's cache and the
// other browsers installed in the prefix are all seen.
TEST(BrowserCachesTest, WithoutCacheEveryBrowserOfTheWinePrefixIsRead) {
    test::TempFolder temp;
    const std::string user = temp.path() + "/prefix/drive_c/users/ana";
    Ok(temp, "demo '" + user + "/AppData/Local/Microsoft/Windows'");
    CopyTree(kMade + "/chromium-simple/Default/Cache/Cache_Data",
             user + "/AppData/Local/Google/Chrome/User Data/Default/Cache/Cache_Data");
    const std::string out =
        Ok(temp, "list --json", "WINEPREFIX='" + temp.path() + "/prefix' USER=ana ");
    const auto counts = CountBySource(out);
    EXPECT_EQ(counts.count("Chrome") ? counts.at("Chrome") : 0, 6) << out;
    EXPECT_GT(counts.count("Internet Explorer") ? counts.at("Internet Explorer") : 0, 3) << out;
}

// Each browser's cache, copied: every movie is listed as its browser's. A delete waits while
// a program holds the cache, then the puzzle goes. (The bodies exported:
// BrowserWebArchiveTest; the page a browser kept for the puzzle: PlayerTest; the entry
// files a delete removes: the formats' own tests.)
TEST(BrowserCachesTest, EachMovieIsListedAndDeletedWhenNoProgramHoldsTheCache) {
    const std::string puzzle = "http://127.0.0.1:18765/games/puzzle.swf";
    for (const auto& [browser, made] :
         {std::pair{"Chrome", "/chromium-simple"}, std::pair{"Firefox", "/firefox"}}) {
        SCOPED_TRACE(browser);
        test::TempFolder temp;
        const std::string copy = temp.path() + "/cache";
        CopyTree(kMade + made, copy);
        const std::string json = Ok(temp, "list --json --cache '" + copy + "'");
        std::map<std::string, std::string> expected;
        for (const std::string& url : kServed) {
            expected[url] = browser;
        }
        EXPECT_EQ(Movies(json), expected);
        // While a program holds a file of the cache open, the cache is its; nothing goes.
        const auto before = test::Snapshot(copy);
        const std::string held = std::find_if(before.begin(), before.end(), [&](const auto& f) {
                                     return fs::is_regular_file(copy + "/" + f.first);
                                 })->first;
        const std::string holder =
            "sh -c 'exec 3<\"" + copy + "/" + held + "\"; exec sleep 30' >/dev/null 2>&1 & echo $!";
        int status = -1;
        std::string pid = test::RunCommand(holder, status);
        ASSERT_EQ(status, 0);
        pid.erase(pid.find_last_not_of('\n') + 1);  // for the shell line that waits for it
        const std::string out =
            test::Cli(temp.path(), "delete --yes --cache '" + copy + "' --url " + puzzle).out;
        test::RunCommand("kill " + pid + "; for i in $(seq 200); do kill -0 " + pid +
                             " 2>/dev/null || break; sleep 0.05; done",
                         status);
        EXPECT_NE(out.find("(process "), std::string::npos) << out;
        EXPECT_TRUE(test::Snapshot(copy) == before) << "a held cache was changed";
        // Once it is let go, the puzzle goes.
        Ok(temp, "delete --yes --cache '" + copy + "' --url " + puzzle);
        const std::string listed = Ok(temp, "list --json --cache '" + copy + "'");
        EXPECT_EQ(Movies(listed).count(puzzle), 0u) << listed;
        EXPECT_EQ(Movies(listed).size(), kServed.size() - 1) << listed;
    }
}

}  // namespace
}  // namespace pellimor
