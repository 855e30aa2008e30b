// Firefox's cache2: the real entry files of the fixture, a cache2 folder written here, and
// what the source makes of them (addresses, times, bodies decoded, deletion).
#include <gtest/gtest.h>

#include "platform/firefox/Cache2.h"
#include "platform/firefox/FirefoxFolders.h"
#include "support/Compressed.h"
#include "support/FirefoxCache2Writer.h"
#include "support/ListedEntries.h"
#include "support/TempFolder.h"

namespace pellimor::test {
namespace {

const std::string kFixture = std::string(PELLIMOR_TEST_DATA) + "/browsers/firefox-cache2";
const std::string kInvalid = "C966EB70794E44E7E3E8A260106D0C72439AF65B";

// Each entry as the fixture's README gives it: file, address, facts on one line, status.
struct FixtureEntry {
    std::string name;
    std::string url;
    std::string fields;      // as test::Fields gives them after the address
    std::string statusLine;  // empty: no response head
};

const std::string kPredictor = "a record of Firefox's predictor, not a cached document";

const std::vector<FixtureEntry> kFixtureEntries = {
    {"1F4B3A4FC81FB19C530758231FA54313BE8F6FA2",
     "https://tiles.cdn.mozilla.net/images/8acf9436e1b315f5f04b9435a518bcd1aef131f8.5663.png",
     " | image/png  5663 \\x89PNG\\x0d\\x0a\\x1a\\x0a | 1430580931 1430580931 1462116931 | - | ",
     "HTTP/1.1 200 OK"},
    {"9E599395B8E39ED759C56FC9CD6BBD80FBB426DC", "http://github.com/",
     " |   0  | 1626576732 1626576732 - | - | " + kPredictor, ""},
    {"0EDDF8C091E2FED62E44BEDDDC1723F5BF38FE4F", "https://www.mozilla.org/",
     " |   0  | 1628376164 1628376162 - | - | " + kPredictor, ""},
    {"0FC75AE83A9F7CAEFD982F3A793D9CDE5166ECD2",
     "https://github.com/log2timeline/plaso/issues/counts",
     " | application/json gzip 80 {\"issues | 1430581478 1430581478 - | - | ", "HTTP/1.1 200 OK"},
};

TEST(FirefoxCache2Fixture, ListsEveryEntryAndRefusesTheInvalidFile) {
    auto cache = FirefoxCache2::Open(kFixture);
    ASSERT_TRUE(cache.ok()) << cache.error();
    const Listing listing = ListAll(**cache);
    EXPECT_FALSE(listing.status.ok());
    EXPECT_NE(listing.status.error().find(kInvalid), std::string::npos) << listing.status.error();
    ASSERT_EQ(listing.entries.size(), kFixtureEntries.size());
    for (const FixtureEntry& expected : kFixtureEntries) {
        SCOPED_TRACE(expected.name);
        const CacheEntry* entry = FindByUrl(listing, expected.url);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->id.source, (*cache)->Location());
        EXPECT_EQ(Fields(*entry), expected.name + "#0 Firefox " +
                                      (expected.statusLine.empty() ? "other " : "document ") +
                                      expected.url + expected.fields);
        EXPECT_EQ(entry->headers.substr(0, expected.statusLine.size()), expected.statusLine);
    }
    // The tile's body is the start of its file; the gzipped counts decode; a predictor
    // record has no body at all.
    const CacheEntry* tile = FindByUrl(listing, kFixtureEntries[0].url);
    const auto body = (*cache)->ReadBody(tile->id, 1 << 20);
    ASSERT_TRUE(body.ok()) << body.error();
    EXPECT_FALSE(body->truncated);
    EXPECT_EQ(body->bytes, ReadFile(kFixture + "/" + kFixtureEntries[0].name).substr(0, 5663));
    const auto json = (*cache)->ReadBody(FindByUrl(listing, kFixtureEntries[3].url)->id, 1 << 20);
    ASSERT_TRUE(json.ok()) << json.error();
    EXPECT_NE(json->bytes.find("issues_count"), std::string::npos) << json->bytes;
    EXPECT_FALSE((*cache)
                     ->ReadBody(EntryId{(*cache)->Location(), kFixtureEntries[1].name, 0}, 1 << 20)
                     .ok());
}

// A cache2 folder as Firefox leaves it, written here.
class WrittenCache2 : public ::testing::Test {
  protected:
    void SetUp() override {
        MakeFolders(cache2_ + "/entries");
        MakeFolders(cache2_ + "/doomed");
        WriteFile(cache2_ + "/index", std::string(12, '\0'));
    }

    std::string Add(const Cache2EntrySpec& spec) {
        WriteCache2Entry(cache2_ + "/entries", spec);
        return Cache2EntryName(spec.key);
    }

    TempFolder temp_;
    std::string cache2_ = temp_ / "cache2";
};

std::string Head(const std::string& type, const std::string& extra = "") {
    return "HTTP/1.1 200 OK\r\nContent-Type: " + type + "\r\n" + extra;
}

const std::string kMovie = std::string("FWS\x0A", 4) + std::string(200, 'm');

TEST_F(WrittenCache2, ListsEntriesWithTheirFacts) {
    Cache2EntrySpec movie{":http://games.example/play/rocket.swf?v=2", kMovie,
                          Head("application/x-shockwave-flash; charset=binary")};
    movie.lastFetched = 1600000000;
    movie.lastModified = 1500000000;
    movie.expiration = 1700000000;
    const std::string movieName = Add(movie);
    Add({"a,:http://games.example/index.html", "<html></html>", Head("TEXT/HTML")});
    // A tag's value may hold a comma, doubled, and a colon after it.
    Add({"O^userContextId=2,~1,,:2,:https://cdn.example/x.swf", kMovie,
         Head("application/x-shockwave-flash")});
    WriteFile(cache2_ + "/doomed/" + Cache2EntryName("doomed"),
              Cache2EntryBytes({":http://doomed.example/", "x", Head("text/plain")}));
    // Version 1 has no flags field; version 4 ends in the version and the offset.
    for (const std::uint32_t version : {1u, 2u, 4u}) {
        Cache2EntrySpec spec{":http://v.example/" + std::to_string(version) + ".swf", kMovie, ""};
        spec.version = version;
        Add(spec);
    }

    auto cache = FirefoxCache2::Open(cache2_);
    ASSERT_TRUE(cache.ok()) << cache.error();
    const Listing listing = ListAll(**cache);
    EXPECT_TRUE(listing.status.ok()) << listing.status.error();
    ASSERT_EQ(listing.entries.size(), 6u);
    const CacheEntry* rocket = FindByUrl(listing, "http://games.example/play/rocket.swf?v=2");
    ASSERT_NE(rocket, nullptr);
    EXPECT_EQ(Fields(*rocket), movieName +
                                   "#0 Firefox document http://games.example/play/rocket.swf?v=2 "
                                   "| application/x-shockwave-flash  204 FWS\\x0ammmm | "
                                   "1500000000 1600000000 1700000000 | - | ");
    ASSERT_NE(FindByUrl(listing, "http://games.example/index.html"), nullptr);
    EXPECT_EQ(FindByUrl(listing, "http://games.example/index.html")->contentType, "text/html");
    EXPECT_NE(FindByUrl(listing, "https://cdn.example/x.swf"), nullptr);
    EXPECT_EQ(FindByUrl(listing, "http://doomed.example/"), nullptr);
    for (const char* version : {"1", "2", "4"}) {
        const CacheEntry* entry =
            FindByUrl(listing, "http://v.example/" + std::string(version) + ".swf");
        ASSERT_NE(entry, nullptr) << version;
        const auto body = (*cache)->ReadBody(entry->id, 1 << 20);
        ASSERT_TRUE(body.ok()) << body.error();
        EXPECT_EQ(body->bytes, kMovie) << version;
    }
}

// Many entry files are read on two threads: each entry still comes with the name of the
// file it was read from, the damaged ones each reported.
TEST_F(WrittenCache2, ManyEntryFilesEachWithItsOwnFile) {
    constexpr int kFiles = 300;
    std::vector<std::string> damaged;
    for (int i = 0; i < kFiles; ++i) {
        const std::string key = ":http://games.example/" + std::to_string(i) + ".swf";
        if (i % 7 == 0) {
            damaged.push_back(Cache2EntryName(key));
            WriteFile(cache2_ + "/entries/" + damaged.back(), "cut");
        } else {
            Add({key, kMovie, Head("application/x-shockwave-flash")});
        }
    }
    auto cache = FirefoxCache2::Open(cache2_);
    ASSERT_TRUE(cache.ok()) << cache.error();
    const Listing listing = ListAll(**cache);
    ASSERT_EQ(listing.entries.size(), kFiles - damaged.size());
    for (const CacheEntry& entry : listing.entries) {
        ASSERT_TRUE(entry.url);
        EXPECT_EQ(entry.id.file, Cache2EntryName(":" + *entry.url));
    }
    ASSERT_FALSE(listing.status.ok());
    for (const std::string& name : damaged) {
        EXPECT_NE(listing.status.error().find(name), std::string::npos) << name;
    }
    std::size_t seen = 0;
    (void)(*cache)->Enumerate([&](const CacheEntry&) { return ++seen < 100; });
    EXPECT_EQ(seen, 100u);
}

// Bodies decoded, and marked truncated when shorter than their length or cut inside their
// encoding.
TEST_F(WrittenCache2, BodiesAreReadAndDecoded) {
    const std::string big = kMovie + std::string(300 * 1024, 'z');  // two chunk hashes
    const std::string length = "Content-Length: " + std::to_string(big.size()) + "\r\n";
    const std::string gzipped = Gzipped(big);
    struct Case {
        std::string name;
        std::string stored;
        std::string extra;
        std::string body;
        bool truncated;
    };
    const std::vector<Case> cases = {
        {"plain", big, "", big, false},
        {"gzip", gzipped, "Content-Encoding: gzip\r\n", big, false},
        {"empty", "", "", "", false},
        {"whole", big, length, big, false},
        {"cut", big.substr(0, 100), length, big.substr(0, 100), true},
        {"gzip cut", gzipped.substr(0, gzipped.size() / 2), "Content-Encoding: gzip\r\n", "", true},
    };
    for (const Case& item : cases) {
        SCOPED_TRACE(item.name);
        const std::string url = "http://e.example/" + item.name + ".swf";
        const std::string name =
            Add({":" + url, item.stored, Head("application/x-shockwave-flash", item.extra)});
        auto cache = FirefoxCache2::Open(cache2_);
        ASSERT_TRUE(cache.ok());
        const auto body = (*cache)->ReadBody(EntryId{(*cache)->Location(), name, 0}, 1 << 22);
        ASSERT_TRUE(body.ok()) << body.error();
        EXPECT_EQ(body->truncated, item.truncated);
        if (item.name == "gzip cut") {
            EXPECT_EQ(body->bytes, big.substr(0, body->bytes.size()));
            continue;
        }
        EXPECT_EQ(body->bytes, item.body);
        // The limit holds for the decoded body.
        EXPECT_EQ((*cache)->ReadBody(EntryId{(*cache)->Location(), name, 0}, 16).ok(),
                  item.body.size() <= 16);
    }
}

// A delete takes nothing whose file now holds another address, lies outside the cache or
// belongs to another source (the chosen entry's file alone goes: BrowserCachesTest).
TEST_F(WrittenCache2, DeleteRemovesExactlyThatEntryFile) {
    const std::string keep =
        Add({":http://e.example/keep.swf", kMovie, Head("application/x-shockwave-flash")});
    auto cache = FirefoxCache2::Open(cache2_);
    ASSERT_TRUE(cache.ok());
    ASSERT_TRUE((*cache)->CanDelete().ok()) << (*cache)->CanDelete().error();
    const std::string at = (*cache)->Location();
    const std::vector<CacheEntryRef> refused = {
        {EntryId{at, keep, 0}, "http://e.example/then.swf", std::nullopt},
        {EntryId{at, "../../etc/passwd", 0}, "http://e.example/keep.swf", std::nullopt},
        {EntryId{"/elsewhere", keep, 0}, "http://e.example/keep.swf", std::nullopt},
    };
    for (const Status& result : (*cache)->DeleteEntries(refused)) {
        EXPECT_FALSE(result.ok());
    }
    EXPECT_EQ(VisibleNames(cache2_ + "/entries"), std::vector<std::string>{keep});
}

TEST_F(WrittenCache2, FoldersAreRecognisedByWhatTheyHold) {
    Add({":http://e.example/a.swf", kMovie, Head("application/x-shockwave-flash")});
    TempFolder other;
    MakeFolders(other / "ENTRIES");
    WriteCache2Entry(other / "ENTRIES", {":http://e.example/b.swf", kMovie, ""});
    TempFolder empty;
    TempFolder junk;
    WriteFile(junk / Cache2EntryName("junk"), "not an entry at all");
    EXPECT_TRUE(IsFirefoxCache2(cache2_));
    EXPECT_TRUE(IsFirefoxCache2(other.path()));
    EXPECT_TRUE(IsFirefoxCache2(kFixture));
    // A flat copy whose only entry holds a large body is still told by its metadata.
    TempFolder large;
    WriteCache2Entry(large.path(), {":http://e.example/big.swf", std::string(5 << 20, 'B'), ""});
    EXPECT_TRUE(IsFirefoxCache2(large.path()));
    EXPECT_FALSE(IsFirefoxCache2(empty.path()));
    EXPECT_FALSE(IsFirefoxCache2(junk.path()));
    EXPECT_FALSE(
        IsFirefoxCache2(std::string(PELLIMOR_TEST_DATA) + "/browsers/firefox-v1-blocks-partial"));
    EXPECT_FALSE(IsFirefoxCacheV1(cache2_));
    auto upper = FirefoxCache2::Open(other.path());
    ASSERT_TRUE(upper.ok());
    EXPECT_EQ(ListAll(**upper).entries.size(), 1u);
}

}  // namespace
}  // namespace pellimor::test
