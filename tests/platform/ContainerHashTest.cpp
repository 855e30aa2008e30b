// The container's key hash and where the writer files items: checked against containers
// that Internet Explorer and Wine wrote, and against the platform's own lookup rule.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "ground/ByteReader.h"
#include "platform/urlcache/ContainerChecker.h"
#include "platform/urlcache/ContainerImage.h"
#include "platform/urlcache/IndexDatFormat.h"
#include "platform/urlcache/UrlHash.h"
#include "support/TempFolder.h"

namespace pellimor {
namespace {

using indexdat::HashItem;

const std::string kData = std::string(PELLIMOR_TEST_DATA) + "/wininet";

std::vector<std::uint8_t> Bytes(const std::string& path) {
    const std::string text = test::ReadFile(path);
    return {text.begin(), text.end()};
}

// Where one live item of a container sits, and what a lookup of its address expects.
struct Placement {
    std::string url;
    std::uint32_t bucket = 0;  // from the item's position
    std::uint32_t key = 0;
    std::uint32_t signature = 0;
};

std::vector<Placement> LiveItems(const indexdat::ContainerView& view) {
    std::vector<Placement> items;
    const ByteReader reader(view.bytes());
    Status chain = view.ForEachHashItem([&](const HashItem& item) {
        if (item.key == indexdat::kHashFree || item.key == indexdat::kHashDeleted) {
            return true;
        }
        Placement p;
        p.bucket = item.index / indexdat::kItemsPerBucket;
        p.key = item.key;
        p.signature = reader.U32(item.recordOffset).value_or(0);
        std::optional<std::string_view> url;
        if (p.signature == indexdat::kRedirectSignature) {
            url = reader.CString(item.recordOffset + indexdat::redirect::kUrl, 4096);
        } else if (const auto record = view.ReadUrlRecord(item.recordOffset)) {
            url = record->url;
        }
        EXPECT_TRUE(url) << "item " << item.index << " of table " << item.tableOffset;
        p.url = std::string(url.value_or(""));
        items.push_back(p);
        return true;
    });
    EXPECT_TRUE(chain) << chain.error();
    return items;
}

TEST(UrlKeyHash, EveryLiveItemOfRealContainersIsWhereItsAddressHashes) {
    // Wine 8 reads bytes above 0x7F as negative and indexes before its table: these three
    // addresses are filed where only that build of Wine puts them.
    const std::set<std::string> wineOwnPlace = {
        "http://www.example.com/f\xfcr.swf",
        "http://www.example.com/m\xfcnchen/film.swf",
        "http://www.example.com/\xc3\xbc"
        "ber\xe6\x97\xa5.swf",
    };
    const struct {
        std::string file;
        std::size_t items;
        std::size_t redirects;
        std::size_t elsewhere;
    } cases[] = {
        {"real/greendale-student-pc1-Content.IE5-index.dat", 35, 14, 0},
        {"real/greendale-student-pc1-History.IE5-index.dat", 15, 0, 0},
        {"wine-made/Content.IE5/index.dat", 21, 0, 3},
        {"wine-made/Content.IE5.index.before-delete.dat", 23, 0, 3},
        {"wine-made/History.IE5/index.dat", 1, 0, 0},
        {"wine-made/INetCookies/index.dat", 1, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const auto bytes = Bytes(kData + "/" + c.file);
        const auto view = indexdat::ContainerView::Open(bytes);
        ASSERT_TRUE(view) << view.error();
        std::size_t redirects = 0;
        std::size_t elsewhere = 0;
        const auto items = LiveItems(*view);
        for (const Placement& p : items) {
            SCOPED_TRACE(p.url);
            const std::uint32_t hash = indexdat::UrlKeyHash(p.url);
            const bool placed =
                indexdat::HashBucket(hash) == p.bucket && indexdat::HashKeyMatches(p.key, hash);
            if (wineOwnPlace.count(p.url) != 0) {
                EXPECT_FALSE(placed);
                ++elsewhere;
                continue;
            }
            EXPECT_EQ(indexdat::HashBucket(hash), p.bucket);
            EXPECT_EQ(p.key >> indexdat::kHashFlagBits, hash >> indexdat::kHashFlagBits);
            redirects += p.signature == indexdat::kRedirectSignature;
        }
        EXPECT_EQ(items.size(), c.items);
        EXPECT_EQ(redirects, c.redirects);
        EXPECT_EQ(elsewhere, c.elsewhere);
    }
}

indexdat::NewRecord Record(const std::string& url, std::uint8_t folder = 0) {
    indexdat::NewRecord record;
    record.url = url;
    record.fileName = "movie[1].swf";
    record.subfolder = folder;
    record.fileSize = 100;
    return record;
}

// The platform's lookup: the first item of the address's bucket, along the chain, whose key
// has the hash bits of the address.
std::optional<std::uint32_t> PlatformLookup(const indexdat::ContainerView& view,
                                            const std::string& url) {
    const std::uint32_t hash = indexdat::UrlKeyHash(url);
    std::optional<std::uint32_t> found;
    (void)view.ForEachHashItem([&](const HashItem& item) {
        if (item.index / indexdat::kItemsPerBucket == indexdat::HashBucket(hash) &&
            indexdat::HashKeyMatches(item.key, hash)) {
            found = item.recordOffset;
            return false;
        }
        return true;
    });
    return found;
}

TEST(ContainerImageAdd, FilesEveryItemWhereThePlatformLooksAcrossSeveralTables) {
    auto image =
        indexdat::ContainerImage::CreateEmpty(indexdat::Flavour::kWine, {"AAAAAAAA"}, 1 << 30);
    std::map<std::string, std::uint32_t> offsets;
    for (int i = 0; i < 1200; ++i) {  // more than two tables hold
        const std::string url =
            "http://site" + std::to_string(i % 9) + ".example/m" + std::to_string(i) + ".swf";
        const auto offset = image.AddUrl(Record(url));
        ASSERT_TRUE(offset) << url;
        offsets[url] = *offset;
    }
    const auto view = image.View();
    EXPECT_EQ(indexdat::CheckContainer(view), std::vector<std::string>{});
    std::size_t tables = 0;
    (void)view.ForEachHashItem([&](const HashItem& item) {
        tables += item.index == 0;
        if (item.key != indexdat::kHashFree) {
            EXPECT_EQ(item.key & indexdat::kHashKindMask, indexdat::kHashKindUrl);
        }
        return true;
    });
    EXPECT_GE(tables, 3u);
    for (const auto& [url, offset] : offsets) {
        EXPECT_EQ(PlatformLookup(view, url), offset) << url;
    }
}

std::size_t LiveRecordsOf(const indexdat::ContainerView& view, std::string_view url) {
    std::size_t count = 0;
    (void)view.ForEachLiveUrl([&](const indexdat::RawUrlRecord& record, const HashItem&) {
        count += record.url == url;
        return true;
    });
    return count;
}

// An address added again replaces its record, counting on from it: in a container of ours,
// and in Wine's own, both where Wine filed it where we look and where it filed it elsewhere
// (a byte above 0x7F).
TEST(ContainerImageAdd, AnAddressAddedAgainReplacesItsRecord) {
    auto ours = indexdat::ContainerImage::CreateEmpty(indexdat::Flavour::kInternetExplorer,
                                                      {"AAAAAAAA"}, 0);
    ASSERT_TRUE(ours.AddUrl(Record("http://arcade.example/other.swf")));
    ASSERT_TRUE(ours.AddUrl(Record("http://arcade.example/snake.swf")));
    const auto wine = Bytes(kData + "/wine-made/Content.IE5/index.dat");
    const struct {
        std::vector<std::uint8_t> bytes;
        std::string url;
    } cases[] = {
        {ours.bytes(), "http://arcade.example/snake.swf"},
        {wine, "http://www.example.com/index.htm"},
        {wine, "http://www.example.com/f\xfcr.swf"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        auto image = indexdat::ContainerImage::FromBytes(c.bytes);
        ASSERT_TRUE(image) << image.error();
        const auto before = image->View().header();
        const auto old = image->FindUrl(c.url);
        ASSERT_EQ(old.size(), 1u);
        const auto oldRecord = *image->View().ReadUrlRecord(old[0].recordOffset);
        auto again = Record(c.url, oldRecord.subfolder);
        again.fileName = "snake[2].swf";
        again.fileSize = 40;
        const auto offset = image->AddUrl(again);
        ASSERT_TRUE(offset);
        const auto view = image->View();
        EXPECT_EQ(LiveRecordsOf(view, c.url), 1u);
        EXPECT_EQ(PlatformLookup(view, c.url), offset);
        const auto record = view.ReadUrlRecord(*offset);
        ASSERT_TRUE(record);
        EXPECT_EQ(record->fileName, "snake[2].swf");
        EXPECT_EQ(record->hitCount, oldRecord.hitCount + 1);  // as the platform's commit counts
        EXPECT_EQ(view.header().subfolders[oldRecord.subfolder].fileCount,
                  before.subfolders[oldRecord.subfolder].fileCount);
        EXPECT_EQ(view.header().cacheUsage, before.cacheUsage - oldRecord.fileSize + 40);
        EXPECT_EQ(indexdat::CheckContainer(view), std::vector<std::string>{});
    }
}

}  // namespace
}  // namespace pellimor
