// The listings look up sizes, and read the cache's index, on a thread beside the caller's:
// every entry must still get its own file's size, in the order of the scan, and a listing
// done so must be the listing done one step after the other.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <tuple>

#include "catalogue/CacheScan.h"
#include "catalogue/DisplayTexts.h"
#include "resources/Strings.h"
#include "support/FakeCache.h"
#include "support/FolderListingTest.h"
#include "support/TempFolder.h"

namespace pellimor {
namespace {

// What stands at a path: regular files of different sizes, and things that are no file
// (a FIFO, links to a device and to a FIFO, nothing).
void Place(const std::string& path, std::size_t i) {
    switch (i % 7) {
        case 3:
            ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
            break;
        case 4:
            ASSERT_EQ(::symlink("/dev/zero", path.c_str()), 0);
            break;
        case 5:
            break;  // gone
        case 6:
            ASSERT_EQ(::mkfifo((path + ".pipe").c_str(), 0600), 0);
            ASSERT_EQ(::symlink((path + ".pipe").c_str(), path.c_str()), 0);
            break;
        default:
            test::WriteFile(path, std::string(i % 1000, 'x'));
    }
}

std::optional<std::uint64_t> Expected(std::size_t i) {
    if (i % 7 >= 3) {
        return std::nullopt;
    }
    return i % 1000;
}

class ListingBesideTest : public test::FolderListingTest {
  protected:
    // count cached movies on two sites and count leftover files, of every kind Place makes;
    // more than the lookups hand over at once (2048).
    void Fill(std::size_t count) {
        test::MakeFolders(temp / "K1");
        test::MakeFolders(temp / "K2");
        for (std::size_t i = 0; i < count; ++i) {
            const std::string cached = temp / ("K1/m" + std::to_string(i) + "[1].swf");
            Place(cached, i);
            cache.Add(
                "http://" + std::string(i % 2 ? "a" : "b") + ".com/m" + std::to_string(i) + ".swf",
                cached);
            Place(temp / ("K2/left" + std::to_string(i) + ".swf"), i + 1);
        }
    }
};

// All a listing shows and holds.
auto Shown(const ListingState& s) {
    return std::tuple(s.siteItems, s.selectedSite, s.site, s.movieLines, s.selectedMovie,
                      s.shownKey, s.cacheError,
                      std::vector<SwfEntry>(s.catalogue.begin(), s.catalogue.end()));
}

// What the window does: a scan, then the leftovers chosen in the drop-down.
ListingState OneAfterTheOther(ListingServices& services, const std::string& site) {
    ListingState state;
    state.site = site;
    state.sizesWhenShown = true;
    ScanCache(state, services);
    const auto leftover = std::find(state.siteItems.begin(), state.siteItems.end(),
                                    strings::Load(strings::kLeftoverFiles));
    OnSiteChanged(state, static_cast<int>(leftover - state.siteItems.begin()), services);
    return state;
}

TEST_F(ListingBesideTest, EachEntryHasItsOwnFilesSizeAndBesideIsAsAfterEachOther) {
    Fill(2200);
    // The terminal's scan: every cached movie with its own file's size, in the scan's order.
    ListingState scanned;
    ScanCache(scanned, services);
    ASSERT_EQ(scanned.catalogue.Count(), 2200u);
    std::size_t i = 0;
    for (const SwfEntry& entry : scanned.catalogue) {
        ASSERT_EQ(entry.key, static_cast<std::int32_t>(i + 1));
        ASSERT_EQ(entry.localPath, temp / ("K1/m" + std::to_string(i) + "[1].swf"));
        ASSERT_EQ(entry.sizeBytes, Expected(i)) << i;
        ASSERT_EQ(entry.sizeText, Expected(i) ? FormatSizeText(*Expected(i)) : "") << i;
        ASSERT_FALSE(entry.sizeWhenShown);
        ++i;
    }
    // Every leftover with its own file's size; a name never made (gone) is not found, a FIFO
    // and a link are.
    ListingState left;
    ScanLeftovers(left, services);
    std::size_t seen = 0;
    for (const SwfEntry& entry : left.catalogue) {
        const std::string name = entry.localPath.substr(entry.localPath.rfind('/') + 1);
        ASSERT_EQ(name.rfind("left", 0), 0u) << name;  // no cached movie among them
        const auto size = Expected(std::stoul(name.substr(4)) + 1);
        ASSERT_EQ(entry.sizeText, size ? FormatSizeText(*size) : "") << name;
        ++seen;
    }
    EXPECT_EQ(seen, 2200u - 2200u / 7);  // one in seven was made gone
    // Files of other kinds below the folder, and a link to a folder with a movie in it.
    test::WriteFile(temp / "K2/notes.txt", "x");
    test::TempFolder elsewhere;
    test::WriteFile(elsewhere / "outside.swf", "FWS");
    ASSERT_EQ(::symlink(elsewhere.path().c_str(), (temp / "K2/linked").c_str()), 0);
    const struct {
        const char* what;
        std::string site;
        bool folder;
    } cases[] = {
        {"all sites", "", true},
        {"one site", "a.com", true},
        {"a site no entry has", "nowhere.example", true},
        {"no folder", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        folder = c.folder ? std::optional<std::string>(temp.path()) : std::nullopt;
        const ListingState expected = OneAfterTheOther(services, c.site);
        ListingState beside;
        beside.site = c.site;
        ScanCacheThenLeftovers(beside, services);
        EXPECT_TRUE(Shown(beside) == Shown(expected));
        if (c.folder) {
            EXPECT_GT(beside.catalogue.Count(), 1500u);
        } else {
            EXPECT_TRUE(beside.catalogue.IsEmpty());
        }
    }
}

}  // namespace
}  // namespace pellimor
