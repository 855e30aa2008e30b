#include <gtest/gtest.h>

#include <map>
#include <set>

#include "platform/urlcache/CacheWriter.h"
#include "platform/urlcache/CodePage.h"
#include "platform/urlcache/ContainerChecker.h"
#include "platform/urlcache/IndexDatCache.h"
#include "support/MsiecfDump.h"
#include "support/Outcome.h"
#include "support/TempFolder.h"

namespace pellimor {
namespace {

TEST(NextFreeCacheName, CountsFromOneLikeTheBrowser) {
    EXPECT_EQ(NextFreeCacheName("intro", "swf", {}), "intro[1].swf");
    EXPECT_EQ(NextFreeCacheName("intro", "swf", {"intro[1].swf", "intro[2].swf"}), "intro[3].swf");
    EXPECT_EQ(NextFreeCacheName("movie", "", {}), "movie[1]");
}

// A profile of n movies, with a cookie and a history entry, growing past the first 32 KiB.
struct WrittenProfile {
    std::string cacheFolder;
    std::vector<ContentEntry> entries;
    std::vector<std::string> paths;
};

WrittenProfile Write(const test::TempFolder& temp, int n) {
    WrittenProfile profile;
    CacheProfileWriter writer(temp / "Windows", indexdat::Flavour::kInternetExplorer, 7);
    for (int i = 0; i < n; ++i) {
        ContentEntry e;
        e.url = "http://site" + std::to_string(i % 7) + ".example/games/movie" + std::to_string(i) +
                ".swf" + (i % 5 == 0 ? "?level=" + std::to_string(i) : "");
        e.body = "FWS" + std::string(static_cast<std::size_t>(i % 300), 'x');
        e.extension = i % 11 == 0 ? "" : "swf";
        e.lastModified =
            i % 3 == 0 ? 0 : 0x01C9EDB4FFE71400ULL + static_cast<std::uint64_t>(i) * 10'000'000ULL;
        e.lastAccess = 0x01D0DF25F42FC620ULL + static_cast<std::uint64_t>(i) * 1000;
        e.headers = i % 4 == 0
                        ? "HTTP/1.1 200 OK\r\nContent-Type: application/x-shockwave-flash\r\n\r\n"
                        : "";
        e.entryType = i % 13 == 0 ? 0x5 : 0x1;
        if (i % 9 == 0) {
            e.nameBase = "intro";  // several intro[n] in one folder
        }
        const auto path = writer.AddContent(e);
        EXPECT_TRUE(test::Ok(path));
        profile.entries.push_back(e);
        profile.paths.push_back(path ? *path : "");
    }
    EXPECT_TRUE(
        test::Ok(writer.AddCookie("Cookie:user@site0.example/", "a\nb\n", 0x01C9EDB4FFE71400ULL)));
    EXPECT_TRUE(
        test::Ok(writer.AddHistory("Visited: user@http://site0.example/", 0x01C9EDB4FFE71400ULL)));
    EXPECT_TRUE(test::Ok(writer.Save()));
    profile.cacheFolder = writer.cacheFolder();
    return profile;
}

// Read back by our reader and by msiecfexport.
TEST(ContainerWrite, WhatIsWrittenReadsBackAsItWasAdded) {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    test::TempFolder temp;
    const WrittenProfile profile = Write(temp, 400);
    IndexDatCache cache(profile.cacheFolder, 1252);
    std::vector<CacheRecord> records;
    ASSERT_TRUE(cache
                    .EnumerateRecords([&](const CacheRecord& r) {
                        records.push_back(r);
                        return true;
                    })
                    .ok());
    ASSERT_EQ(records.size(), 402u);
    EXPECT_EQ(records[0].url, "Cookie:user@site0.example/");
    EXPECT_EQ(records[0].entryType, kCookieCacheEntry);
    EXPECT_EQ(records[1].url, "Visited: user@http://site0.example/");
    EXPECT_FALSE(records[1].localFileName);
    std::map<std::string, CacheRecord> byUrl;
    for (std::size_t i = 2; i < records.size(); ++i) {
        byUrl[*records[i].url] = records[i];
    }
    ASSERT_EQ(byUrl.size(), 400u);
    for (std::size_t i = 0; i < profile.entries.size(); ++i) {
        const ContentEntry& e = profile.entries[i];
        const CacheRecord& r = byUrl[e.url];
        EXPECT_EQ(r.localFileName, profile.paths[i]) << e.url;
        EXPECT_EQ(r.recordedSize, e.body.size()) << e.url;
        EXPECT_EQ(r.headers, e.headers) << e.url;
        EXPECT_EQ(r.entryType, e.entryType) << e.url;
        EXPECT_EQ(test::ReadFile(*r.localFileName), e.body) << e.url;
    }
    const auto content = cache.containers().back().indexPath;
    EXPECT_GT(test::ReadFile(content).size(), 32768u);

    const std::string dump = test::RunMsiecfexport(content);
    const auto dumped = test::ParseMsiecfDump(dump);
    ASSERT_EQ(dumped.size(), 400u) << dump.substr(0, 400);
    std::set<std::string> fromDump;
    for (const auto& r : dumped) {
        EXPECT_EQ(r.type, "URL");
        fromDump.insert(r.location + " " + r.fileName + " " + r.secondaryTime + " " +
                        r.primaryTime);
    }
    std::set<std::string> written;
    for (std::size_t i = 0; i < profile.entries.size(); ++i) {
        const auto& e = profile.entries[i];
        const std::string name = profile.paths[i].substr(profile.paths[i].rfind('/') + 1);
        written.insert(e.url + " " + name + " " + test::MsiecfFileTime(e.lastModified) + " " +
                       test::MsiecfFileTime(e.lastAccess));
    }
    EXPECT_EQ(fromDump, written);
}

TEST(ContainerWrite, AFullContainerSaysSo) {
    auto image = indexdat::ContainerImage::CreateEmpty(indexdat::Flavour::kWine, {"AAAAAAAA"}, 0);
    indexdat::NewRecord record;
    record.fileName = "x[1].swf";
    record.subfolder = 0;
    record.url = "http://e/" + std::string(17'000'000, 'u');  // more than a container holds
    EXPECT_FALSE(image.AddUrl(record));
    EXPECT_EQ(indexdat::CheckContainer(image.View()), std::vector<std::string>{});
}

}  // namespace
}  // namespace pellimor
