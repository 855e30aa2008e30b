// Firefox's cache before version 32: the real block files of the fixture (no map: records
// found by scanning, bodies unreadable), and caches with a map written here in both
// bitmap layouts (bodies in block files and separate files, one block file absent).
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <utility>

#include "platform/firefox/CacheV1.h"
#include "platform/firefox/FirefoxFolders.h"
#include "support/Compressed.h"
#include "support/FirefoxV1Writer.h"
#include "support/ListedEntries.h"
#include "support/TempFolder.h"

namespace pellimor::test {
namespace {

const std::string kFixture =
    std::string(PELLIMOR_TEST_DATA) + "/browsers/firefox-v1-blocks-partial";

TEST(FirefoxCacheV1Fixture, FindsTheRecordsOfEachBlockFileWithoutTheMap) {
    auto cache = FirefoxCacheV1::Open(kFixture);
    ASSERT_TRUE(cache.ok()) << cache.error();
    const Listing listing = ListAll(**cache);
    EXPECT_TRUE(listing.status.ok()) << listing.status.error();
    // Per block file, in file order: how many records, and the first one's address. The
    // independent reader names inpage_linkid.js first in _CACHE_003_, where it is the second
    // record (ga.js lies before it): both are checked below.
    std::map<std::string, std::pair<std::size_t, std::string>> files;
    for (const CacheEntry& entry : listing.entries) {
        auto& [count, first] = files[entry.id.file];
        first = count++ == 0 ? entry.url.value_or("").substr(0, 61) : first;
        EXPECT_EQ(entry.kind, EntryKind::kDocument);
        EXPECT_FALSE(entry.unreadable.empty());
        EXPECT_FALSE((*cache)->ReadBody(entry.id, 1 << 20).ok());
    }
    EXPECT_EQ(
        files,
        (std::map<std::string, std::pair<std::size_t, std::string>>{
            {"_CACHE_001_", {25, "http://start.mozilla.org/en-US/"}},
            {"_CACHE_002_", {3, "http://pubads.g.doubleclick.net/gampad/ads?gdfp_req=1&correla"}},
            {"_CACHE_003_", {2, "https://ssl.google-analytics.com/ga.js"}},
        }));
    EXPECT_EQ(listing.entries.back().url,
              "https://www.google-analytics.com/plugins/ga/inpage_linkid.js");
    // Responses to POST requests carry their address after "&uri=".
    const auto post = std::find_if(listing.entries.begin(), listing.entries.end(),
                                   [](const CacheEntry& e) { return e.id.locator == 0x3800; });
    ASSERT_NE(post, listing.entries.end());
    EXPECT_EQ(post->url, "http://ocsp.digicert.com/");
    const CacheEntry& first = listing.entries.front();
    EXPECT_EQ(first.id.source, (*cache)->Location());
    EXPECT_EQ(
        Fields(first),
        "_CACHE_001_#1000 Firefox document http://start.mozilla.org/en-US/ | text/html  9489  "
        "| 1399040103 1399040103 1399126502 | - | the cache's map (_CACHE_MAP_) is absent, so "
        "where its body is stored is unknown");
    EXPECT_EQ(first.headers.substr(0, 15), "HTTP/1.1 200 OK");
    // The old cache is only read: a delete is refused whole.
    const Status can = (*cache)->CanDelete();
    EXPECT_EQ(can.error().rfind("Firefox's old block-file cache is read-only: ", 0), 0u);
    for (const Status& result : (*cache)->DeleteEntries({{first.id, first.url, std::nullopt}})) {
        EXPECT_FALSE(result.ok());
    }
    EXPECT_TRUE(IsFirefoxCacheV1(kFixture));
    EXPECT_FALSE(IsFirefoxCacheV1(std::string(PELLIMOR_TEST_DATA) + "/browsers/firefox-cache2"));
}

const std::string kMovie = std::string("CWS\x09", 4) + std::string(3000, 'q');

std::string Head(const std::string& extra = "") {
    return "HTTP/1.1 200 OK\r\nContent-Type: application/x-shockwave-flash\r\n" + extra;
}

class WrittenCacheV1 : public ::testing::TestWithParam<bool> {};

// Firefox 4's files are renamed to lower case, as a copy through a FAT stick leaves them:
// their names are matched ignoring case.
TEST_P(WrittenCacheV1, UsesTheMapToFindRecordsAndBodies) {
    TempFolder temp;
    const std::string small = "FWS\x05tiny";
    const std::string large(20000, 'L');
    V1CacheSpec spec;
    spec.firefox3 = GetParam();
    spec.entries = {
        {"HTTP:http://a.example/small.swf", small, Head(), V1BodyPlace::kBlockFile, 0x1234567A, 3,
         1500000000, 1400000000},
        {"HTTP:http://a.example/movie.swf", kMovie, Head(), V1BodyPlace::kBlockFile, 0x2234567B},
        {"HTTP:http://a.example/large.swf", "FWS\x0A" + large, Head(), V1BodyPlace::kSeparateFile,
         0x3234567C},
        {"HTTP:http://a.example/packed.swf", Gzipped(kMovie), Head("Content-Encoding: gzip\r\n"),
         V1BodyPlace::kSeparateFile, 0x4234567D},
        {"HTTP:http://a.example/cut.swf", kMovie.substr(0, 50),
         Head("Content-Length: " + std::to_string(kMovie.size()) + "\r\n"), V1BodyPlace::kBlockFile,
         0x5234567E},
        {"HTTP:http://a.example/big.swf", std::string(10000, 'B'), Head(), V1BodyPlace::kBlockFile,
         0x6234567F},
    };
    WriteV1Cache(temp.path(), spec);
    for (const std::string name : {"_CACHE_MAP_", "_CACHE_001_", "_CACHE_002_", "_CACHE_003_"}) {
        if (!GetParam()) {
            std::string lower = name;
            std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
            ASSERT_EQ(std::rename((temp / name).c_str(), (temp / lower).c_str()), 0);
        }
    }
    EXPECT_TRUE(IsFirefoxCacheV1(temp.path()));
    auto cache = FirefoxCacheV1::Open(temp.path());
    ASSERT_TRUE(cache.ok());
    const Listing listing = ListAll(**cache);
    EXPECT_TRUE(listing.status.ok()) << listing.status.error();
    ASSERT_EQ(listing.entries.size(), spec.entries.size());
    for (std::size_t i = 0; i < spec.entries.size(); ++i) {
        const CacheEntry& entry = listing.entries[i];
        const std::string read = i == 3 ? kMovie : spec.entries[i].body;  // packed: decoded
        SCOPED_TRACE(spec.entries[i].key);
        EXPECT_EQ("HTTP:" + entry.url.value_or(""), spec.entries[i].key);
        EXPECT_EQ(entry.id.file, "_CACHE_MAP_");
        EXPECT_TRUE(entry.unreadable.empty()) << entry.unreadable;
        EXPECT_EQ(entry.bodyStart, read.substr(0, 8));
        EXPECT_EQ(entry.contentType, "application/x-shockwave-flash");
        const auto body = (*cache)->ReadBody(entry.id, 1 << 20);
        ASSERT_TRUE(body.ok()) << body.error();
        EXPECT_EQ(body->bytes, read);
        EXPECT_EQ(body->truncated, i == 4);
    }
    EXPECT_EQ(listing.entries[0].lastAccess, 1500000000);
    EXPECT_EQ(listing.entries[0].lastModified, 1400000000);
    EXPECT_FALSE(listing.entries[0].localFileName);
    ASSERT_TRUE(listing.entries[2].localFileName);
    EXPECT_EQ(ReadFile(*listing.entries[2].localFileName), "FWS\x0A" + large);
    EXPECT_FALSE(listing.entries[3].localFileName);  // stored gzipped: not the movie itself
    // Without the block file of the big body, that body alone is unreadable.
    ASSERT_EQ(V1BlockFileFor(10000), 3u);
    std::remove((temp / (GetParam() ? "_CACHE_003_" : "_cache_003_")).c_str());
    cache = FirefoxCacheV1::Open(temp.path());
    ASSERT_TRUE(cache.ok());
    const Listing without = ListAll(**cache);
    ASSERT_EQ(without.entries.size(), spec.entries.size());
    for (std::size_t i = 0; i < spec.entries.size(); ++i) {
        EXPECT_EQ(without.entries[i].unreadable.empty(), i != 5) << without.entries[i].unreadable;
        EXPECT_EQ((*cache)->ReadBody(without.entries[i].id, 1 << 20).ok(), i != 5);
    }
    EXPECT_NE(without.entries[5].unreadable.find("_CACHE_003_"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(BitmapLayouts, WrittenCacheV1, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Firefox3" : "Firefox4"; });

}  // namespace
}  // namespace pellimor::test
