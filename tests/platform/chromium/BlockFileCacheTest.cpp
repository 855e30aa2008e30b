#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ground/ByteReader.h"
#include "platform/chromium/BlockFileCache.h"
#include "platform/chromium/ChromiumFolders.h"
#include "support/ListedEntries.h"
#include "support/TempFolder.h"

namespace pellimor {
namespace {

const std::string kData = std::string(PELLIMOR_TEST_DATA) + "/browsers/";
constexpr std::size_t kTableStart = 368;
constexpr std::size_t kBlockStart = 8192;

using test::FindByUrl;
using test::ListAll;

// The copies in the test data are the real caches Chrome wrote (see their README).
TEST(ChromiumBlockFileCache, ListsEveryEntryOfRealCaches) {
    const struct {
        std::string folder;
        std::size_t entries;
        std::string firstUrl;
        // Counted from the raw addresses: bodies, and one long key, in the absent data_3.
        std::size_t unreadable;
    } cases[] = {
        {"chromium-blockfile-partial", 217,
         "https://s.ytimg.com/yts/imgbin/player-common-vfliLfqPT.webp", 40},
        {"chromium-blockfile-v3-partial", 862,
         "https://m.media-amazon.com/images/G/01/gno/sprites/"
         "nav-sprite-global-1x-reorg-privacy._CB587940754_.png",
         236},
    };
    for (const auto& c : cases) {
        ChromiumBlockFileCache cache(kData + c.folder);
        EXPECT_TRUE(IsChromiumBlockFileCache(kData + c.folder));
        EXPECT_FALSE(IsChromiumSimpleCache(kData + c.folder));
        const test::Listing listing = ListAll(cache);
        const auto& entries = listing.entries;
        EXPECT_TRUE(listing.status.ok()) << c.folder << ": " << listing.status.error();
        ASSERT_EQ(entries.size(), c.entries) << c.folder;
        EXPECT_EQ(entries[0].url, c.firstUrl) << c.folder;
        std::size_t unreadable = 0, withoutUrl = 0;
        for (const CacheEntry& entry : entries) {
            EXPECT_EQ(entry.id.source, kData + c.folder);
            if (!entry.unreadable.empty()) {
                ++unreadable;
                EXPECT_NE(entry.unreadable.find("data_3"), std::string::npos) << entry.unreadable;
                const auto body = cache.ReadBody(entry.id, 1 << 24);
                EXPECT_FALSE(body.ok());
                EXPECT_NE(body.error().find("data_3"), std::string::npos) << body.error();
            }
            withoutUrl += !entry.url.has_value();
        }
        EXPECT_EQ(unreadable, c.unreadable) << c.folder;
        EXPECT_LE(withoutUrl, 1u) << c.folder;
    }
}

TEST(ChromiumBlockFileCache, BodiesReadFromExternalFilesAndBlocks) {
    const std::string folder = kData + "chromium-blockfile-partial";
    ChromiumBlockFileCache cache(folder);
    const test::Listing listing = ListAll(cache);
    const auto& entries = listing.entries;

    // Its response lies in the absent data_3; its body in f_000010, a WebP image.
    const CacheEntry& first = entries[0];
    EXPECT_TRUE(first.unreadable.empty()) << first.unreadable;
    EXPECT_EQ(first.size, 25960u);
    EXPECT_EQ(first.bodyStart, test::ReadFile(folder + "/f_000010").substr(0, 8));
    const auto webp = cache.ReadBody(first.id, 1 << 20);
    ASSERT_TRUE(webp.ok()) << webp.error();
    EXPECT_EQ(webp->bytes, test::ReadFile(folder + "/f_000010"));
    EXPECT_FALSE(webp->truncated);

    // A gzip-encoded script in a 256-byte block of data_1.
    const CacheEntry* script =
        FindByUrl(listing,
                  "http://www.blogblog.com/dynamicviews/76f25a6f2e06af76/js/thirdparty/"
                  "jquery-mousewheel.js");
    ASSERT_NE(script, nullptr);
    EXPECT_EQ(test::Fields(*script).substr(script->id.file.size()),
              "#a00101af Chrome document " + *script->url +
                  " | text/javascript gzip 723 \\x1f\\x8b\\x08\\x00\\x00\\x00\\x00\\x00 | "
                  "1393977973 1398876353 1399476108 | - | ");
    EXPECT_NE(script->headers.find("HTTP/1.1 200"), std::string::npos);
    const auto text = cache.ReadBody(script->id, 1 << 20);
    ASSERT_TRUE(text.ok()) << text.error();
    EXPECT_NE(text->bytes.find("mousewheel"), std::string::npos);
    EXPECT_GT(text->bytes.size(), 723u);

    // Bodies kept whole in an f_ file without encoding are offered as that file.
    std::size_t local = 0;
    for (const CacheEntry& entry : entries) {
        if (!entry.localFileName) {
            continue;
        }
        ++local;
        EXPECT_TRUE(entry.contentEncoding.empty());
        const auto body = cache.ReadBody(entry.id, 64 << 20);
        ASSERT_TRUE(body.ok()) << body.error();
        EXPECT_EQ(body->bytes, test::ReadFile(*entry.localFileName)) << *entry.localFileName;
    }
    EXPECT_GE(local, 1u);
    // Addresses of no entry of this cache are no bodies.
    for (const EntryId& id : std::vector<EntryId>{
             {folder, "data_1", 0},
             {folder, "data_1", 0xa001fff0},        // past the end
             {folder, "data_1", 0x80000010},        // an external file, not an entry
             {folder, "data_1", 0x1'0000'0000ULL},  // no address at all
             {"/elsewhere", "data_1", script->id.locator},
         }) {
        EXPECT_FALSE(cache.ReadBody(id, 1 << 20).ok()) << id.locator;
    }
    // The block-file cache is only read: a delete is refused whole.
    EXPECT_NE(cache.CanDelete().error().find("read-only"), std::string::npos);
    for (const Status& result : cache.DeleteEntries(
             {{entries[0].id, entries[0].url, std::nullopt}, {script->id, script->url, {}}})) {
        EXPECT_FALSE(result.ok());
    }
    EXPECT_EQ(ListAll(cache).entries.size(), 217u);
}

// A writable copy of a real cache to damage.
class DamagedCopy {
  public:
    DamagedCopy() {
        int status = 0;
        test::RunCommand("cp -r '" + kData + "chromium-blockfile-partial' '" + folder() +
                             "' && chmod -R u+w '" + folder() + "'",
                         status);
        EXPECT_EQ(status, 0);
        index_ = test::ReadFile(folder() + "/index");
        data1_ = test::ReadFile(folder() + "/data_1");
    }
    std::string folder() const { return temp_ / "cache"; }
    std::string path(const std::string& name) const { return folder() + "/" + name; }

    // The address in the index's first used slot, and that slot's offset.
    std::size_t FirstSlot() const {
        for (std::size_t at = kTableStart; at + 4 <= index_.size(); at += 4) {
            if (Addr(index_, at) != 0) {
                return at;
            }
        }
        return 0;
    }
    static std::uint32_t Addr(const std::string& bytes, std::size_t at) {
        return *ByteReader({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()})
                    .U32(at);
    }
    // Where the entry at a data_1 address starts in data_1.
    static std::size_t EntryOffset(std::uint32_t addr) {
        return kBlockStart + (addr & 0xffff) * 256;
    }
    std::uint32_t FirstEntry() const { return Addr(index_, FirstSlot()); }

    void Patch(std::string& bytes, std::size_t at, std::uint32_t value) {
        PutU32(reinterpret_cast<std::uint8_t*>(bytes.data() + at), value);
    }
    void WriteIndex(const std::string& bytes) { test::WriteFile(path("index"), bytes); }
    void WriteData1(const std::string& bytes) { test::WriteFile(path("data_1"), bytes); }
    void PatchIndex(std::size_t at, std::uint32_t value) {
        Patch(index_, at, value);
        WriteIndex(index_);
    }
    // A field of the first entry, at its offset in the entry's block.
    void PatchEntry(std::size_t field, std::uint32_t value) {
        Patch(data1_, EntryOffset(FirstEntry()) + field, value);
        WriteData1(data1_);
    }

    std::string index_;
    std::string data1_;

  private:
    test::TempFolder temp_;
};

// kComplete: every entry is still listed, but the damage is reported.
enum Expect { kFails, kPartial, kComplete, kAll };
struct BlockFileDamage {
    std::string name;
    std::function<void(DamagedCopy&)> damage;
    Expect expect;
};

const std::vector<BlockFileDamage> kDamages = {
    {"index cut inside its header", [](DamagedCopy& c) { c.WriteIndex(c.index_.substr(0, 100)); },
     kFails},
    {"index cut inside its table",
     [](DamagedCopy& c) { c.WriteIndex(c.index_.substr(0, c.index_.size() / 2)); }, kPartial},
    {"index magic wrong", [](DamagedCopy& c) { c.PatchIndex(0, 0xC103CAC4); }, kFails},
    {"index version unknown", [](DamagedCopy& c) { c.PatchIndex(4, 0x90000); }, kFails},
    {"table length huge", [](DamagedCopy& c) { c.PatchIndex(28, 0x7fffffff); }, kComplete},
    {"an entry's chain loops to itself", [](DamagedCopy& c) { c.PatchEntry(4, c.FirstEntry()); },
     kComplete},
    {"two slots lead to the same entry",
     [](DamagedCopy& c) { c.PatchIndex(c.FirstSlot() + 4, c.FirstEntry()); }, kComplete},
    {"an address past the end of data_1",
     [](DamagedCopy& c) { c.PatchIndex(c.FirstSlot(), 0xa001fff0); }, kPartial},
    {"an address into a missing block file",
     [](DamagedCopy& c) { c.PatchIndex(c.FirstSlot(), 0xa0090001); }, kPartial},
    {"an address of 1 KiB blocks in data_1",
     [](DamagedCopy& c) { c.PatchIndex(c.FirstSlot(), 0xb0010001); }, kPartial},
    {"key length huge", [](DamagedCopy& c) { c.PatchEntry(32, 0xfffffff0); }, kPartial},
    {"key length past its block", [](DamagedCopy& c) { c.PatchEntry(32, 2000); }, kPartial},
    {"key without an address",
     [](DamagedCopy& c) {
         const std::size_t at = DamagedCopy::EntryOffset(c.FirstEntry());
         c.Patch(c.data1_, at + 32, 5);
         c.data1_.replace(at + 96, 6, std::string("nourl\0", 6));
         c.WriteData1(c.data1_);
     },
     kPartial},
    {"body size huge", [](DamagedCopy& c) { c.PatchEntry(44, 0x7ffffff0); }, kAll},
    {"response size huge",
     [](DamagedCopy& c) {
         // The response of the mousewheel script lies in data_1: every entry is damaged.
         for (std::size_t at = kBlockStart; at + 256 <= c.data1_.size(); at += 256) {
             c.Patch(c.data1_, at + 40, 0xfffffff0);
         }
         c.WriteData1(c.data1_);
     },
     kAll},
    {"data_1 cut inside its header", [](DamagedCopy& c) { c.WriteData1(c.data1_.substr(0, 100)); },
     kPartial},
    {"data_1 cut in half",
     [](DamagedCopy& c) { c.WriteData1(c.data1_.substr(0, c.data1_.size() / 2)); }, kPartial},
    {"data_1 magic wrong",
     [](DamagedCopy& c) {
         c.Patch(c.data1_, 0, 0x01020304);
         c.WriteData1(c.data1_);
     },
     kPartial},
    {"data_1 missing", [](DamagedCopy& c) { ::unlink(c.path("data_1").c_str()); }, kPartial},
    {"names in upper case",
     [](DamagedCopy& c) {
         ASSERT_EQ(::rename(c.path("index").c_str(), c.path("INDEX").c_str()), 0);
         ASSERT_EQ(::rename(c.path("data_1").c_str(), c.path("DATA_1").c_str()), 0);
         ASSERT_EQ(::rename(c.path("f_000010").c_str(), c.path("F_000010").c_str()), 0);
     },
     kAll},
};

TEST(ChromiumBlockFileCache, DamagedFiles) {
    for (const BlockFileDamage& c : kDamages) {
        DamagedCopy copy;
        c.damage(copy);
        ChromiumBlockFileCache cache(copy.folder());
        const test::Listing listing = ListAll(cache);
        const Status& status = listing.status;
        const auto& entries = listing.entries;
        const std::size_t listed = entries.size();
        EXPECT_EQ(status.ok(), c.expect == kAll) << c.name << ": " << status.error();
        EXPECT_EQ(status.ok(), status.error().empty()) << c.name;  // a failure says what
        EXPECT_TRUE(c.expect == kFails     ? listed == 0
                    : c.expect == kPartial ? listed < 217
                                           : listed == 217)
            << c.name << ": " << listed;
        // Every body listed reads or fails with a message; none crashes or hangs.
        for (const CacheEntry& entry : entries) {
            const auto body = cache.ReadBody(entry.id, 1 << 20);
            if (!body.ok()) {
                EXPECT_FALSE(body.error().empty()) << c.name;
            }
        }
    }
}

// A body cut short in its own f_ file is read as far as it goes; one that claims more than
// the blocks its address names is refused rather than read on into other entries.
TEST(ChromiumBlockFileCache, BodiesLongerThanWhatHoldsThem) {
    DamagedCopy copy;
    // The first entry's body is f_000010 (25960 bytes): cut the file short.
    const std::string whole = test::ReadFile(copy.path("f_000010"));
    test::WriteFile(copy.path("f_000010"), whole.substr(0, 1000));
    // The script's body lies in blocks of data_1: claim 64 KiB.
    const std::string scriptUrl =
        "http://www.blogblog.com/dynamicviews/76f25a6f2e06af76/js/thirdparty/"
        "jquery-mousewheel.js";
    const std::size_t key = copy.data1_.find(scriptUrl);
    ASSERT_NE(key, std::string::npos);
    ASSERT_EQ((key - 96 - kBlockStart) % 256, 0u);
    copy.Patch(copy.data1_, key - 96 + 44, 0x10000);
    copy.WriteData1(copy.data1_);
    ChromiumBlockFileCache cache(copy.folder());
    const test::Listing listing = ListAll(cache);
    ASSERT_EQ(listing.entries.size(), 217u);
    const auto body = cache.ReadBody(listing.entries[0].id, 1 << 20);
    ASSERT_TRUE(body.ok()) << body.error();
    EXPECT_TRUE(body->truncated);
    EXPECT_EQ(body->bytes, whole.substr(0, 1000));
    const CacheEntry* script = FindByUrl(listing, scriptUrl);
    ASSERT_NE(script, nullptr);
    const auto refused = cache.ReadBody(script->id, 1 << 20);
    ASSERT_FALSE(refused.ok());
    EXPECT_NE(refused.error().find("does not fit"), std::string::npos) << refused.error();
}

// Movies in f_ files that no entry refers to are offered as left over; files entries use,
// other bodies and files that are no regular files are not.
TEST(ChromiumBlockFileCache, MoviesInUnusedExternalFilesAreLeftOver) {
    DamagedCopy copy;
    const std::string movie = std::string("FWS\x08\x20\x00\x00\x00", 8) + "movie";
    test::WriteFile(copy.path("f_0000ff"), movie);
    test::WriteFile(copy.path("F_0000FD"), "CWS\x0a" + std::string(20, 'c'));
    test::WriteFile(copy.path("f_0000fe"), "RIFF....WEBP");
    test::WriteFile(copy.path("f_0000fb"), "FWS\x00 version 0 is none");
    test::WriteFile(copy.path("f_0000fa"), "FWS");
    test::WriteFile(copy.path("f_00000g"), movie);  // no hex name
    test::WriteFile(copy.path("f_000010"), movie);  // the first entry's body
    ASSERT_EQ(::mkfifo(copy.path("f_0000fc").c_str(), 0600), 0);
    ASSERT_EQ(::symlink(copy.path("f_0000ff").c_str(), copy.path("f_0000f9").c_str()), 0);
    ChromiumBlockFileCache cache(copy.folder());
    std::vector<std::string> leftovers;
    const auto list = [&] {
        leftovers.clear();
        return cache.EnumerateLeftovers([&](const std::string& path) {
            leftovers.push_back(path);
            return true;
        });
    };
    const Status status = list();
    ASSERT_TRUE(status.ok()) << status.error();
    EXPECT_EQ(leftovers, (std::vector<std::string>{copy.path("F_0000FD"), copy.path("f_0000ff")}));
    // With the index unreadable, nothing can be told left over.
    copy.WriteIndex(copy.index_.substr(0, 100));
    EXPECT_FALSE(list().ok());
    EXPECT_TRUE(leftovers.empty());
}

}  // namespace
}  // namespace pellimor
