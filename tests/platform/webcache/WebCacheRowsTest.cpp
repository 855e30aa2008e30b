// What the WebCache source makes of the rows it is given, on real folders: hostile rows are
// refused one by one with the reason, and nothing outside the cache's folders is read.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>

#include "catalogue/CacheScan.h"
#include "platform/webcache/WebCacheRows.h"
#include "platform/webcache/WebCacheSource.h"
#include "support/TempFolder.h"

namespace pellimor {
namespace {

using webcache::ContainerRow;
using webcache::ContentRow;

TEST(WebCacheRows, FiletimesAndFoldersBelowTheUserFolder) {
    EXPECT_EQ(webcache::UnixTimeOfFiletime(0), std::nullopt);
    EXPECT_EQ(webcache::UnixTimeOfFiletime(116444736000000000ull), 0);
    EXPECT_EQ(webcache::UnixTimeOfFiletime(132827920455050673ull), 1638318445);
    const struct {
        const char* directory;
        const char* user;
        std::vector<std::string> names;  // empty with reason: refused
        const char* reason;
    } cases[] = {
        {"C:\\Users\\ana\\AppData\\Local\\X\\", "ana", {"AppData", "Local", "X"}, ""},
        {"d:\\USERS\\ANA\\AppData", "ana", {"AppData"}, ""},
        {"C:\\Users\\bob\\AppData\\", "ana", {}, "outside the user folder"},
        {"C:\\Windows\\Temp\\", "ana", {}, "outside the user folder"},
        {"\\\\server\\Users\\ana\\x\\", "ana", {}, "outside the user folder"},
        // Each name is checked as a file's name is (HostileRowsAreListedUnreadableWithTheReason).
        {"C:\\Users\\ana\\..\\bob\\", "ana", {}, "the name \"..\""},
        {"C:\\Users\\ana\\", "", {}, "outside the user folder"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.directory);
        auto names = webcache::NamesBelowUserFolder(c.directory, c.user);
        if (*c.reason == '\0') {
            ASSERT_TRUE(names.ok()) << names.error();
            EXPECT_EQ(names.value(), c.names);
        } else {
            ASSERT_FALSE(names.ok());
            EXPECT_NE(names.error().find(c.reason), std::string::npos) << names.error();
        }
    }
    const std::vector<ContainerRow> rows = {
        {1, "Content", "C:\\Users\\Bob\\AppData\\", ""},
        {2, "History", "C:\\Users\\bob\\AppData\\", ""},
        {3, "Content", "C:\\Users\\ana\\AppData\\", ""},
    };
    EXPECT_EQ(webcache::WindowsUserName(rows, "ANA"), "ana");
    EXPECT_EQ(webcache::WindowsUserName(rows, "carol"), "Bob");
}

const std::string kMovie("FWS\x0a\x20\x00\x00\x00 a movie", 17);
const std::string kEdgeDirectory =
    "C:\\Users\\ana\\AppData\\Local\\Packages\\Microsoft.MicrosoftEdge_8wekyb3d8bbwe\\AC\\#!001\\"
    "MicrosoftEdge\\Cache\\";

const std::vector<ContainerRow> kContainers = {
    {1, "Content", "C:\\Users\\ana\\AppData\\Local\\Microsoft\\Windows\\INetCache\\IE\\",
     "AAAAAAAALINKLINKBBBBBBBB"},
    {2, "Content", "C:\\Users\\bob\\AppData\\Local\\Microsoft\\Windows\\INetCache\\IE\\",
     "AAAAAAAA"},
    {3, "Content", "C:\\Users\\ana\\Linked\\", "AAAAAAAA"},
    {4, "History", "C:\\Users\\ana\\AppData\\Local\\Microsoft\\Windows\\History\\", ""},
    {5, "EdgeCache", kEdgeDirectory, "EDGE0001"},
    {6, "Content", "C:\\Users\\ana\\AppData\\Local\\Microsoft\\Windows\\INetCache\\IE\\",
     "AAAAAAA"},
};

// A row of the Content table: its container, file name and folder number, and why it cannot
// be read.
struct HostileRow {
    std::int64_t container;
    std::optional<std::string> filename;
    std::optional<std::int64_t> folder;
    const char* reason;  // empty: readable
    const char* source = "Internet Explorer";
};

const std::vector<HostileRow> kRows = {
    {1, "movie[1].bin", 1, ""},
    {1, "MOVIE[1].BIN", 1, ""},
    {1, "fifo[1].swf", 1, "a FIFO"},
    {1, "zero[1].swf", 1, "a link"},
    {1, "secret[1].swf", 1, "a link"},
    {1, "secret.swf", 2, "is a link"},
    {1, "gone[1].swf", 3, "has no folder"},
    {1, "absent[1].swf", 1, "missing"},
    {1, "..", 1, "the name \"..\""},
    {1, "../../../../../../outside/secret.swf", 1, "path separator"},
    {1, "..\\secret.swf", 1, "path separator"},
    {1, std::string("a\0b.swf", 7), 1, "NUL"},
    {1, "C:secret.swf", 1, "drive or stream"},
    {1, "", 1, "an empty name"},
    {1, std::nullopt, 1, "names no file"},
    {1, "movie[1].bin", 0, "folder number 0"},
    {1, "movie[1].bin", 4, "folder number 4"},
    {1, "movie[1].bin", -1, "folder number -1"},
    {1, "movie[1].bin", std::nullopt, "folder number (none)"},
    {2, "movie[1].bin", 1, "outside the user folder"},
    {3, "secret.swf", 1, "is a link"},
    {4, "movie[1].bin", 1, nullptr},  // history: never an entry
    {5, "game[1].swf", 1, "", "Edge"},
    {6, "movie[1].bin", 1, "8-character"},
};

// The user folder below temp, with the IE and Edge containers' folders, holding a movie, a
// FIFO, a link to /dev/zero and links out of them; its path.
std::string MakeUserFolder(const test::TempFolder& temp) {
    const std::string user = temp / "Users/ana";
    test::MakeFolders(user + "/AppData/Local/Microsoft/Windows/WebCache");
    const std::string ie = user + "/AppData/Local/Microsoft/Windows/INetCache/IE/";
    test::MakeFolders(ie + "AAAAAAAA");
    test::MakeFolders(temp / "outside");
    test::WriteFile(temp / "outside/secret.swf", kMovie);
    test::WriteFile(ie + "AAAAAAAA/movie[1].bin", kMovie);
    EXPECT_EQ(::mkfifo((ie + "AAAAAAAA/fifo[1].swf").c_str(), 0600), 0);
    EXPECT_EQ(::symlink("/dev/zero", (ie + "AAAAAAAA/zero[1].swf").c_str()), 0);
    EXPECT_EQ(
        ::symlink((temp / "outside/secret.swf").c_str(), (ie + "AAAAAAAA/secret[1].swf").c_str()),
        0);
    EXPECT_EQ(::symlink((temp / "outside").c_str(), (ie + "LINKLINK").c_str()), 0);
    EXPECT_EQ(::symlink((temp / "outside").c_str(), (user + "/Linked").c_str()), 0);
    const std::string edge =
        user +
        "/AppData/Local/Packages/Microsoft.MicrosoftEdge_8wekyb3d8bbwe/AC/#!001/"
        "MicrosoftEdge/Cache/EDGE0001";
    test::MakeFolders(edge);
    test::WriteFile(edge + "/game[1].swf", kMovie);
    return user;
}

// Each hostile row is listed unreadable with its reason, the others read; the same rows with
// no user folder around the database each say that instead.
TEST(WebCacheRows, HostileRowsAreListedUnreadableWithTheReason) {
    test::TempFolder temp;
    const std::string user = MakeUserFolder(temp);
    const auto rows = [&](const webcache::TableVisitor& visit) -> Status {
        visit.containers(kContainers);
        for (std::size_t i = 0; i < kRows.size(); ++i) {
            ContentRow row;
            row.entryId = static_cast<std::int64_t>(i);
            row.url = "http://example.com/" + std::to_string(i) + ".swf";
            row.filename = kRows[i].filename;
            row.secureDirectory = kRows[i].folder;
            row.responseHeaders =
                "HTTP/1.1 200 OK\r\nContent-Type: application/x-shockwave-flash\r\n\r\n";
            if (!visit.row(kRows[i].container, row)) {
                break;
            }
        }
        return Done{};
    };
    auto source = webcache::WebCacheSource::WithRows(
        user + "/AppData/Local/Microsoft/Windows/WebCache", rows);
    ASSERT_TRUE(source.ok()) << source.error();
    std::map<std::uint64_t, CacheEntry> entries;
    ASSERT_TRUE(source.value()
                    ->Enumerate([&](const CacheEntry& entry) {
                        entries.emplace(entry.id.locator, entry);
                        return true;
                    })
                    .ok());
    for (std::size_t i = 0; i < kRows.size(); ++i) {
        const HostileRow& c = kRows[i];
        SCOPED_TRACE(c.filename.value_or("(none)") + " in container " +
                     std::to_string(c.container));
        if (c.reason == nullptr) {
            EXPECT_FALSE(entries.contains(i));
            continue;
        }
        ASSERT_TRUE(entries.contains(i));
        const CacheEntry& entry = entries.at(i);
        EXPECT_EQ(entry.sourceName, c.source);
        EXPECT_TRUE(IsSwfCacheEntry(entry));  // typed as Flash: listed, readable or not
        auto body = source.value()->ReadBody(entry.id, 1 << 20);
        if (*c.reason == '\0') {
            EXPECT_EQ(entry.unreadable, "");
            ASSERT_TRUE(body.ok()) << body.error();
            EXPECT_EQ(body->bytes, kMovie);
        } else {
            EXPECT_NE(entry.unreadable.find(c.reason), std::string::npos) << entry.unreadable;
            EXPECT_FALSE(entry.localFileName.has_value());
            EXPECT_FALSE(body.ok());
        }
    }
    // The leftovers: only the real files of the containers' own folders.
    std::vector<std::string> leftovers;
    ASSERT_TRUE(source.value()
                    ->EnumerateLeftovers([&](const std::string& path) {
                        leftovers.push_back(path);
                        return true;
                    })
                    .ok());
    EXPECT_TRUE(leftovers.empty()) << leftovers.front();

    test::MakeFolders(temp / "WebCache");
    auto alone = webcache::WebCacheSource::WithRows(temp / "WebCache", rows);
    ASSERT_TRUE(alone.ok());
    std::size_t unknown = 0;
    (void)alone.value()->Enumerate([&](const CacheEntry& entry) {
        unknown += entry.unreadable.find("user folder is not known") != std::string::npos;
        return true;
    });
    // All but the rows of the two containers refused for their own folders.
    EXPECT_EQ(unknown, entries.size() - 2);
}

}  // namespace
}  // namespace pellimor
