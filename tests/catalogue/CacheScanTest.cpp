#include <gtest/gtest.h>

#include <algorithm>

#include "catalogue/CacheScan.h"
#include "catalogue/Collation.h"
#include "platform/fileops/PosixFileOps.h"
#include "resources/Strings.h"
#include "support/FakeCache.h"
#include "support/TempFolder.h"

namespace pellimor {
namespace {

const std::string kAll(strings::Load(strings::kAllSites));
const std::string kLeft(strings::Load(strings::kLeftoverFiles));

class CacheScanTest : public ::testing::Test {
  protected:
    test::TempFolder temp;
    test::FakeCache cache;
    PosixFileOps files;
    ListingServices services{cache, files,
                             [this] { return std::optional<std::string>(temp.path()); }};
    ListingState state;

    // A cached file of size bytes; the record points at it.
    void Movie(const std::string& url, const std::string& name, std::size_t size = 256,
               std::uint32_t type = 1) {
        test::WriteFile(temp / name, std::string(size, 'x'));
        cache.Add(url, temp / name, type);
    }
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        for (const auto& l : state.movieLines) {
            lines.push_back(l.text);
        }
        return lines;
    }
    std::string SelectedSite() const {
        return state.selectedSite < 0
                   ? ""
                   : state.siteItems[static_cast<std::size_t>(state.selectedSite)];
    }
};

// The whole local name, not the address, says whether an entry is a movie; cookies never are.
TEST_F(CacheScanTest, KeepsOnlySwfFilesThatAreNoCookies) {
    const struct {
        const char* url;
        const char* name;
        std::uint32_t type;
        bool listed;
    } cases[] = {
        {"http://e.com/a.swf", "A[1].SWF", 1, true},
        {"http://e.com/b.swf", "b[1].swf.tmp", 1, false},
        {"http://e.com/c.swf", "c[1].htm", 1, false},
        {"http://e.com/d.htm", "d[1].swf", 1, true},
        {"http://e.com/e.swf", "e.swf", test::kCookieCacheEntry, false},
        {"http://e.com/f.swf", "f.swf", test::kCookieCacheEntry | 1, false},
        {"http://e.com/g.swf", "g.Swf", 0x4 | 1, true},
        {"http://e.com/1", ".swf", 1, false},
        {"http://e.com/3", "", 1, false},
    };
    for (const auto& c : cases) {
        cache.Add(c.url, c.name, c.type);
    }
    CacheEntry noName;
    noName.typedByFileName = true;
    noName.url = "http://e.com/4";
    cache.records.push_back(noName);
    ScanCache(state, services);
    std::vector<std::string> listed;
    for (const SwfEntry& e : state.catalogue) {
        listed.push_back(e.url);
        EXPECT_EQ(e.sizeText, "");  // no such file
    }
    std::vector<std::string> expected;
    for (const auto& c : cases) {
        if (c.listed) {
            expected.push_back(c.url);
        }
    }
    EXPECT_EQ(listed, expected);
}

// An entry with no name to go by is a movie when its body starts as one: plain, zlib or LZMA.
TEST_F(CacheScanTest, EntriesWithoutANameAreKnownByTheirFirstBytes) {
    const struct {
        const char* start;
        bool movie;
    } cases[] = {
        {"FWS\x0a", true},  {"CWS\x09", true},  {"ZWS\x0d", true}, {"ZWS\x33", false},
        {"XWS\x0a", false}, {"FWS\x00", false}, {"ZW", false},     {"zws\x0d", false},
    };
    for (const auto& c : cases) {
        CacheEntry entry;
        entry.url = "http://e.com/play";
        entry.bodyStart = c.start;
        EXPECT_EQ(IsSwfCacheEntry(entry), c.movie) << c.start;
    }
}

TEST_F(CacheScanTest, SiteFilterIsACaseBlindSubstringThatLetsEmptySitesThrough) {
    Movie("http://example.com/1.swf", "one.swf");
    Movie("http://cdn.example.com/2.swf", "two.swf");
    Movie("http://example.com.tr/3.swf", "three.swf");
    Movie("http://other.org/4.swf", "four.swf");
    Movie("file:///C:/local.swf", "five.swf");  // no host: empty site
    Movie("http://Example.com/6.swf", "six.swf");
    const struct {
        const char* site;
        std::vector<std::string> lines;
        const char* selected;
        const char* siteAfter;
    } cases[] = {
        {"example.com", {"five", "one", "six", "three", "two"}, "example.com", "example.com"},
        // Item and filter both ignore case; the filter keeps the text as given.
        {"EXAM", {"five", "one", "six", "three", "two"}, "example.com", "EXAM"},
        {"OTHER", {"five", "four"}, "other.org", "OTHER"},
        {"nowhere", {"five", "four", "one", "six", "three", "two"}, kAll.c_str(), ""},
        {"", {"five", "four", "one", "six", "three", "two"}, kAll.c_str(), ""},
    };
    for (const auto& c : cases) {
        state = ListingState{};
        state.site = c.site;
        ScanCache(state, services);
        EXPECT_EQ(Lines(), c.lines) << c.site;
        EXPECT_EQ(SelectedSite(), c.selected) << c.site;
        EXPECT_EQ(state.site, c.siteAfter) << c.site;
        // The drop-down offers every site whatever the filter.
        EXPECT_EQ(state.siteItems.size(), 6u) << c.site;
    }
}

// Choosing a site lists it in both its spellings (one item, spelled as met first); a site
// whose last movie leaves falls back to all sites, and a cache with nothing left gives the
// pseudo-sites only. The leftovers, all sites and Refresh are chosen in the window's test.
TEST_F(CacheScanTest, SiteChoiceAndFallBack) {
    Movie("http://a.com/1.swf", "one.swf");
    Movie("http://Flashtoons.example/2.swf", "two.swf");
    Movie("http://flashtoons.example/3.swf", "three.swf");
    ScanCache(state, services);
    EXPECT_EQ(state.siteItems,
              (std::vector<std::string>{kLeft, kAll, "a.com", "Flashtoons.example"}));
    OnSiteChanged(state, 3, services);
    EXPECT_EQ(state.site, "Flashtoons.example");
    EXPECT_EQ(Lines(), (std::vector<std::string>{"three", "two"}));
    OnSiteChanged(state, -1, services);  // nothing selected: nothing happens
    EXPECT_EQ(Lines(), (std::vector<std::string>{"three", "two"}));
    cache.records.erase(cache.records.begin() + 1, cache.records.end());
    OnRefresh(state, services);
    EXPECT_EQ(state.site, "");
    EXPECT_EQ(Lines(), (std::vector<std::string>{"one"}));
    cache.records.clear();
    state.site = "a.com";
    OnRefresh(state, services);
    EXPECT_TRUE(state.catalogue.IsEmpty());
    EXPECT_TRUE(state.movieLines.empty());
    EXPECT_EQ(state.siteItems, (std::vector<std::string>{kLeft, kAll}));
    EXPECT_EQ(SelectedSite(), kAll);
    EXPECT_EQ(state.site, "");
    EXPECT_EQ(state.selectedMovie, -1);
    EXPECT_EQ(state.shownKey, 0);
}

TEST(Collation, FoldsAsciiCaseThenBytes) {
    const std::vector<std::string> sorted({"**---Artık SWF Dosyaları---**",
                                           "---|--Tüm Siteler--|---", "1", "_x", "A", "a", "Ab",
                                           "ab", "B", "b", "Zeta", "ä"});
    std::vector<std::string> texts(sorted.rbegin(), sorted.rend());
    std::stable_sort(texts.begin(), texts.end(), CollatesBefore);
    EXPECT_EQ(texts, sorted);
    EXPECT_EQ(CollateTexts("abc", "ABC"), 1);
    EXPECT_EQ(CollateTexts("abc", "abc"), 0);
}

}  // namespace
}  // namespace pellimor
