#include <gtest/gtest.h>

#include "catalogue/SwfCatalogue.h"

namespace pellimor {
namespace {

SwfEntry Entry(std::int32_t key, const std::string& path) {
    SwfEntry e;
    e.key = key;
    e.localPath = path;
    e.url = "http://example.com/" + std::to_string(key);
    e.displayName = DisplayNameFromPath(path);
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
        {"clip", "noname"},
        {"a.swf", "a"},
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

TEST(SwfCatalogue, LooksUpAndRemovesByKey) {
    SwfCatalogue catalogue;
    EXPECT_TRUE(catalogue.IsEmpty());
    catalogue.Append(Entry(1, "/a/A1/intro[1].swf"));
    catalogue.Append(Entry(2, "/a/B2/intro[1].swf"));
    catalogue.Append(Entry(3, "/a/B2/game.swf"));
    EXPECT_EQ(catalogue.Count(), 3u);
    EXPECT_EQ(catalogue.GetEntryByKey(2).localPath, "/a/B2/intro[1].swf");
    EXPECT_EQ(catalogue.GetEntryByKey(1).displayName, catalogue.GetEntryByKey(2).displayName);
    for (const std::int32_t missing : {0, -1, 4, 1000}) {
        EXPECT_EQ(catalogue.GetEntryByKey(missing), SwfEntry{}) << missing;
    }
    EXPECT_TRUE(catalogue.RemoveEntryByKey(2));
    EXPECT_EQ(catalogue.Count(), 2u);
    EXPECT_FALSE(catalogue.RemoveEntryByKey(2));
    EXPECT_EQ(catalogue.Count(), 2u);
    EXPECT_EQ(catalogue.GetEntryByKey(3).key, 3);  // the other keys stay
    std::vector<std::int32_t> order;
    for (const SwfEntry& e : catalogue) {
        order.push_back(e.key);
    }
    EXPECT_EQ(order, (std::vector<std::int32_t>{1, 3}));
    catalogue.Clear();
    EXPECT_TRUE(catalogue.IsEmpty());
}

}  // namespace
}  // namespace pellimor
