// The cache2 folder the real firefox-esr wrote while loading a page of Flash movies from
// 127.0.0.1 (tests/data/browsers/made): every entry its manifest names is listed under its
// address with the body the server sent (a delete from a copy is BrowserCachesTest's).
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "platform/firefox/Cache2.h"
#include "platform/firefox/FirefoxFolders.h"
#include "platform/firefox/FirefoxTestHelpers.h"
#include "support/TempFolder.h"

namespace pellimor::test {
namespace {

const std::string kMade = std::string(PELLIMOR_TEST_DATA) + "/browsers/made";

struct Served {
    std::string address;
    std::string file;   // below made/
    std::string entry;  // the cache2 entry file's name
};

// The manifest's blocks that name a Firefox entry.
std::vector<Served> ReadManifest() {
    std::ifstream in(kMade + "/MANIFEST.txt");
    std::vector<Served> served;
    Served current;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string label;
        std::string value;
        words >> label >> value;
        if (label == "address") {
            current = Served{value, "", ""};
        } else if (label == "file") {
            current.file = value;
        } else if (label == "firefox" && value.starts_with("firefox/cache2/entries/")) {
            current.entry = value.substr(value.rfind('/') + 1);
            served.push_back(current);
        }
    }
    return served;
}

class FirefoxMadeCache : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!FileExists(kMade + "/MANIFEST.txt") || !FileExists(kMade + "/firefox/cache2/index")) {
            GTEST_SKIP() << "no browser-made Firefox cache in " << kMade;
        }
        served_ = ReadManifest();
        ASSERT_FALSE(served_.empty());
    }
    std::vector<Served> served_;
};

TEST_F(FirefoxMadeCache, EveryServedEntryIsListedWithTheBodyTheServerSent) {
    const std::string folder = kMade + "/firefox/cache2";
    EXPECT_TRUE(IsFirefoxCache2(folder));
    auto cache = FirefoxCache2::Open(folder);
    ASSERT_TRUE(cache.ok()) << cache.error();
    const Listing listing = ListAll(**cache);
    EXPECT_TRUE(listing.status.ok()) << listing.status.error();
    std::size_t movies = 0;
    for (const Served& item : served_) {
        SCOPED_TRACE(item.address);
        const CacheEntry* entry = FindByUrl(listing, item.address);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->id.file, item.entry);
        EXPECT_EQ(entry->kind, EntryKind::kDocument);
        EXPECT_TRUE(entry->unreadable.empty());
        const std::string sent = ReadFile(kMade + "/" + item.file);
        EXPECT_EQ(entry->bodyStart, sent.substr(0, 8));
        const auto body = (*cache)->ReadBody(entry->id, 1 << 24);
        ASSERT_TRUE(body.ok()) << body.error();
        EXPECT_EQ(body->bytes, sent);
        EXPECT_FALSE(body->truncated);
        movies += sent.starts_with("FWS") || sent.starts_with("CWS") || sent.starts_with("ZWS");
    }
    EXPECT_GE(movies, 3u);
}

}  // namespace
}  // namespace pellimor::test
