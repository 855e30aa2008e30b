// A cached file is read or removed only when it lies, links resolved, inside the cache
// folder: a neighbour whose name merely starts with the folder's is outside it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/fileops/ConfinedFile.h"
#include "support/TempFolder.h"

namespace pellimor {
namespace {

TEST(ConfinedFile, OnlyFilesThatResolveInsideTheFolderAreReadOrRemoved) {
    test::TempFolder temp;
    test::MakeFolders(temp / "cache/sub");
    test::MakeFolders(temp / "cache-other");
    test::WriteFile(temp / "cache/sub/own.swf", "FWS own");
    test::WriteFile(temp / "cache-other/near.swf", "FWS near");
    test::WriteFile(temp / "outside.swf", "FWS outside");
    ASSERT_EQ(::symlink((temp / "cache-other/near.swf").c_str(), (temp / "cache/near").c_str()), 0);
    ASSERT_EQ(::symlink((temp / "outside.swf").c_str(), (temp / "cache/out").c_str()), 0);
    ASSERT_EQ(::symlink("sub/own.swf", (temp / "cache/in").c_str()), 0);
    ASSERT_EQ(::symlink("/dev/zero", (temp / "cache/zero").c_str()), 0);
    ASSERT_EQ(::symlink((temp / "cache-other").c_str(), (temp / "cache/sibling").c_str()), 0);
    ASSERT_EQ(::mkfifo((temp / "cache/fifo").c_str(), 0600), 0);
    const std::string root = *ResolveFolder(temp / "cache");
    const struct {
        const char* name;
        const char* read;  // what it reads, or nothing when it is refused
        bool removed;
    } cases[] = {
        {"in", "FWS own", false},  // a link is never removed, even to a file inside
        {"sub/own.swf", "FWS own", true}, {"near", nullptr, false},
        {"out", nullptr, false},          {"zero", nullptr, false},
        {"fifo", nullptr, false},         {"sibling/near.swf", nullptr, false},
        {"sub", nullptr, false},
    };
    for (const auto& c : cases) {
        const std::string path = root + "/" + c.name;
        const auto read = ReadWithin(path, root, 1 << 20);
        EXPECT_EQ(read.ok(), c.read != nullptr) << c.name;
        if (read.ok() && c.read != nullptr) {
            EXPECT_EQ(*read, c.read) << c.name;
        }
        EXPECT_EQ(SizeWithin(path, root).ok(), c.read != nullptr) << c.name;
        EXPECT_EQ(RemoveWithin(path, root).ok(), c.removed) << c.name;
    }
    EXPECT_EQ(test::ReadFile(temp / "cache-other/near.swf"), "FWS near");
    EXPECT_EQ(test::ReadFile(temp / "outside.swf"), "FWS outside");
    EXPECT_FALSE(test::FileExists(temp / "cache/sub/own.swf"));
    EXPECT_TRUE(IsWithin(root, root));
    EXPECT_FALSE(IsWithin(root + "-other/near.swf", root));
}

}  // namespace
}  // namespace pellimor
