// The catalogue keeps its entries compact (texts shared with the entry before or found inside
// the entry's own address or path, long texts apart, texts over many blocks) and gives back
// exactly what was put in, in order, also after removals and copies.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalogue/SwfCatalogue.h"

namespace pellimor {
namespace {

SwfEntry Made(int i) {
    SwfEntry e;
    e.key = i + 1;
    const std::string n = std::to_string(i);
    e.url = i % 7 == 0 ? std::string() : "http://site" + std::to_string(i % 5) + ".example/g" + n;
    e.localPath = "/c/Content.IE5/F" + std::to_string(i % 3) + "/g" + n + "[1].swf";
    e.displayName = i % 4 == 0 ? "g" + n : "other" + n;  // inside the path, or not
    e.site = i % 6 == 0 ? "elsewhere.example" : "site" + std::to_string(i % 5) + ".example";
    e.lastModified = i % 2 == 0 ? "Mon, 15 Jun 2009 12:30:00 GMT" : "";
    e.sizeText = std::to_string(i % 9) + ".0 KB";
    e.sizeBytes = i % 3 == 0 ? std::nullopt : std::optional<std::uint64_t>(i * 1000ULL);
    e.lastModifiedTime = i % 2 == 0 ? std::optional<UnixTime>(-5 + i) : std::nullopt;
    e.sizeWhenShown = i % 5 == 1;
    e.id = EntryId{"/c", i % 10 < 5 ? "/c/Content.IE5/index.dat" : "/c/Low/index.dat",
                   0x4000ULL + static_cast<std::uint64_t>(i)};
    e.source = "Internet Explorer";
    e.unreadable = i % 11 == 0 ? "block file 2 is missing" : "";
    if (i % 1000 == 3) {
        e.url = "http://long.example/" + std::string(100'000 + i, 'q');  // kept apart
    }
    return e;
}

TEST(DisplayNameFromPath, FollowsTheRule) {
    const struct {
        const char* path;
        const char* name;
    } cases[] = {
        {"/c/X/intro[1].swf", "intro"},
        {"/d/game.swf", "game"},
        {"/c/X/[1].swf", "[1]"},
        {"/dir[2]/file.swf", "file"},
        {"/dir.x/file", "noname"},
        {".swf", "noname"},
        {"movie[0]", "movie"},
        {"/c/x/a.b[3].swf", "a.b"},
        {"/c/x/v1.2.swf", "v1.2"},
        {"", "noname"},
        {"/c/x/", "noname"},
        {"/c/x/[.swf", "["},
        // A backslash is an ordinary character here: the separator is "/".
        {"C:\\c\\X\\intro[1].swf", "C:\\c\\X\\intro"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DisplayNameFromPath(c.path), c.name) << c.path;
    }
}

TEST(CatalogueStore, GivesBackEveryEntryAsPutInAlsoAfterRemovalsAndCopies) {
    constexpr int kCount = 12'000;  // texts over several blocks
    std::vector<SwfEntry> made;
    SwfCatalogue catalogue;
    for (int i = 0; i < kCount; ++i) {
        made.push_back(Made(i));
        catalogue.Append(made.back());
    }
    // The same text again, as the entry before: kept once, given back for both.
    made.push_back(made.back());
    made.back().key = kCount + 1;
    catalogue.Append(made.back());
    ASSERT_EQ(catalogue.Count(), made.size());
    std::size_t at = 0;
    for (const SwfEntry& e : catalogue) {
        ASSERT_EQ(e, made[at]) << at;
        ++at;
    }
    EXPECT_EQ(at, made.size());
    for (const int key : {1, 4, 1004, kCount, kCount + 1}) {
        EXPECT_EQ(catalogue.GetEntryByKey(key), made[static_cast<std::size_t>(key - 1)]) << key;
    }
    for (int key = 1; key <= kCount + 1; key += 2) {
        ASSERT_TRUE(catalogue.RemoveEntryByKey(key));
    }
    EXPECT_FALSE(catalogue.RemoveEntryByKey(1));
    const SwfCatalogue copy = catalogue;
    for (const SwfCatalogue* c : {static_cast<const SwfCatalogue*>(&catalogue), &copy}) {
        ASSERT_EQ(c->Count(), static_cast<std::size_t>(kCount / 2));
        int expected = 2;
        for (const SwfEntry& e : *c) {
            ASSERT_EQ(e, made[static_cast<std::size_t>(expected - 1)]);
            expected += 2;
        }
        for (const int missing : {0, -1, 3, kCount + 1, kCount + 2}) {
            EXPECT_EQ(c->GetEntryByKey(missing), SwfEntry{}) << missing;
        }
        EXPECT_EQ(c->begin()->key, 2);
    }
    catalogue.Clear();
    EXPECT_TRUE(catalogue.IsEmpty());
    EXPECT_EQ(catalogue.begin(), catalogue.end());
    EXPECT_EQ(copy.Count(), static_cast<std::size_t>(kCount / 2));  // a copy of its own
}

}  // namespace
}  // namespace pellimor
