// Damaged and hostile files in Firefox's caches: each reader gives a clear error or a
// partial listing, never a crash or a hang, and the good entries beside them still list.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "platform/firefox/Cache2.h"
#include "platform/firefox/CacheV1.h"
#include "platform/firefox/FirefoxFolders.h"
#include "support/FirefoxCache2Writer.h"
#include "support/FirefoxV1Writer.h"
#include "support/ListedEntries.h"
#include "support/TempFolder.h"

namespace pellimor::test {
namespace {

void PutBig32At(std::string& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> (24 - 8 * i)) & 0xFF);
    }
}

std::function<void(std::string&)> Big32At(std::size_t at, std::uint32_t value) {
    return [=](std::string& bytes) { PutBig32At(bytes, at, value); };
}

const std::string kBody = "FWS\x0A" + std::string(100, 'b');
const Cache2EntrySpec kDamagedSpec{
    ":http://bad.example/x.swf", kBody,
    "HTTP/1.1 200 OK\r\nContent-Type: application/x-shockwave-flash\r\n"};

// Where the header starts in kDamagedSpec's file: body, metadata hash, one chunk hash.
constexpr std::size_t kHeaderAt = 104 + 4 + 2;

struct Cache2Damage {
    std::string name;
    std::function<void(const std::string& path)> make;  // writes the damaged entry file
    bool listed;              // listed (as no document) rather than refused
    const char* reason = "";  // what the refusal says beside the file's name
};

std::function<void(const std::string&)> Edited(std::function<void(std::string&)> edit) {
    return [edit](const std::string& path) {
        std::string bytes = Cache2EntryBytes(kDamagedSpec);
        edit(bytes);
        WriteFile(path, bytes);
    };
}

const std::vector<Cache2Damage> kCache2Damages = {
    {"Empty", Edited([](std::string& b) { b.clear(); }), false},
    {"CutInTheMetadata", Edited([](std::string& b) { b.resize(b.size() - 30); }), false},
    {"CutInTheBody", Edited([](std::string& b) { b.resize(50); }), false},
    {"OffsetPastTheEnd", Edited([](std::string& b) { PutBig32At(b, b.size() - 4, 0xFFFFFFF0); }),
     false},
    {"OffsetPointingAtItself", Edited([](std::string& b) {
         PutBig32At(b, b.size() - 4, static_cast<std::uint32_t>(b.size() - 4));
     }),
     false},
    {"OffsetIntoTheHeader", Edited([](std::string& b) {
         PutBig32At(b, b.size() - 4, static_cast<std::uint32_t>(b.size() - 20));
     }),
     false},
    {"ChunkHashesPastTheMetadata",
     [](const std::string& path) {
         // A 1 MiB body needs four chunk hashes and a header; ten bytes follow it.
         std::string bytes(1 << 20, 'x');
         bytes.append(10, '\0');
         bytes.append(4, '\0');
         PutBig32At(bytes, bytes.size() - 4, 1 << 20);
         WriteFile(path, bytes);
     },
     false},
    {"KeySizeHuge", Edited(Big32At(kHeaderAt + 24, 0xFFFFFFFF)), false},
    {"KeySizePastTheElements", Edited(Big32At(kHeaderAt + 24, 500)), false},
    {"KeyNotTerminated",
     Edited([](std::string& b) { b[kHeaderAt + 32 + kDamagedSpec.key.size()] = 'k'; }), false},
    {"ElementsNotTerminated", Edited([](std::string& b) { b[b.size() - 5] = 'e'; }), false},
    {"VersionUnknown", Edited(Big32At(kHeaderAt, 99)), false},
    {"KeyWithoutAnAddress", Edited([](std::string& b) { b[kHeaderAt + 32] = 'x'; }), true},
    {"KeyOnlyAColon",
     [](const std::string& path) {
         Cache2EntrySpec spec = kDamagedSpec;
         spec.key = ":";
         WriteFile(path, Cache2EntryBytes(spec));
     },
     true},
    {"Encrypted",
     [](const std::string& path) {
         Cache2EntrySpec spec = kDamagedSpec;
         spec.version = 4;
         spec.encrypted = true;
         WriteFile(path, Cache2EntryBytes(spec));
     },
     false, "encryption"},
    {"Fifo", [](const std::string& path) { ASSERT_EQ(mkfifo(path.c_str(), 0600), 0); }, false},
    {"LinkToDevZero",
     [](const std::string& path) { ASSERT_EQ(symlink("/dev/zero", path.c_str()), 0); }, false},
    {"LinkOutOfTheCache",
     [](const std::string& path) {
         const std::string outside = path.substr(0, path.rfind("/cache2/")) + "/outside";
         WriteFile(outside, Cache2EntryBytes(kDamagedSpec));
         ASSERT_EQ(symlink(outside.c_str(), path.c_str()), 0);
     },
     false},
    {"Folder", [](const std::string& path) { MakeFolders(path); }, false},
};

class DamagedCache2 : public ::testing::TestWithParam<Cache2Damage> {};

TEST_P(DamagedCache2, TheOtherEntriesStillListAndTheDamagedOneIsNamed) {
    const Cache2Damage& damage = GetParam();
    TempFolder temp;
    const std::string entries = temp / "cache2/entries";
    MakeFolders(entries);
    WriteCache2Entry(entries, {":http://good.example/g.swf", kBody, "HTTP/1.1 200 OK\r\n"});
    const std::string bad = Cache2EntryName("damaged");
    damage.make(entries + "/" + bad);
    auto cache = FirefoxCache2::Open(temp / "cache2");
    ASSERT_TRUE(cache.ok());
    const Listing listing = ListAll(**cache);
    ASSERT_NE(FindByUrl(listing, "http://good.example/g.swf"), nullptr);
    EXPECT_EQ(listing.entries.size(), damage.listed ? 2u : 1u);
    // Listed as no document and unreadable, or named in the listing's error.
    for (const CacheEntry& entry : listing.entries) {
        EXPECT_EQ(entry.id.file == bad,
                  entry.kind == EntryKind::kOther && !entry.unreadable.empty());
    }
    EXPECT_EQ(listing.status.ok(), damage.listed) << listing.status.error();
    if (!damage.listed) {
        EXPECT_NE(listing.status.error().find(bad), std::string::npos) << listing.status.error();
        EXPECT_NE(listing.status.error().find(damage.reason), std::string::npos);
    }
    const auto body = (*cache)->ReadBody(EntryId{(*cache)->Location(), bad, 0}, 1 << 20);
    EXPECT_FALSE(body.ok());
    const auto deleted = (*cache)->DeleteEntries({CacheEntryRef{
        EntryId{(*cache)->Location(), bad, 0}, "http://bad.example/x.swf", std::nullopt}});
    EXPECT_FALSE(deleted.at(0).ok());
    EXPECT_TRUE(IsFirefoxCache2(temp / "cache2"));
}

INSTANTIATE_TEST_SUITE_P(Files, DamagedCache2, ::testing::ValuesIn(kCache2Damages),
                         [](const auto& info) { return info.param.name; });

TEST(DamagedCache2Folder, AnEntriesFolderLinkedOutOfTheCacheIsRefused) {
    TempFolder temp;
    TempFolder outside;
    MakeFolders(temp / "cache2");
    WriteCache2Entry(outside.path(), {":http://o.example/a.swf", kBody, ""});
    ASSERT_EQ(symlink(outside.path().c_str(), (temp / "cache2/entries").c_str()), 0);
    EXPECT_FALSE(FirefoxCache2::Open(temp / "cache2").ok());
}

// Damage to the old cache: a field of its map or first block file changed, a file cut, or a
// separate file replaced by a FIFO (the map and block files are opened as any cached file
// is: ConfinedFile).
struct V1Damage {
    std::string name;
    std::string file;                        // below the cache folder
    std::function<void(std::string&)> edit;  // none: the file is replaced by a FIFO
    std::size_t listed;                      // entries still listed with a readable body
};

constexpr std::size_t kMapHeader = 276;

const std::vector<V1Damage> kV1Damages = {
    {"MapCut", "_CACHE_MAP_", [](std::string& b) { b.resize(100); }, 0},
    {"MapRecordCountHuge", "_CACHE_MAP_", Big32At(16, 0xFFFFFFFF), 0},
    {"MapVersionUnknown", "_CACHE_MAP_", Big32At(0, 0x00090001), 0},
    {"RecordPastTheBlockFile", "_CACHE_MAP_", Big32At(kMapHeader + 12, 0x90FFFFFF), 1},
    {"BodyPastTheBlockFile", "_CACHE_MAP_", Big32At(kMapHeader + 8, 0x93FFFFF0), 1},
    {"RecordKeySizeHuge", "_CACHE_001_", Big32At(16384 + 256 + 28, 0xFFFFFFF0), 1},
    {"BlockFileCut", "_CACHE_001_", [](std::string& b) { b.resize(16384 + 20); }, 0},
    {"SeparateBodyIsAFifo", "3/23/4567Cd01", nullptr, 1},
};

class DamagedCacheV1 : public ::testing::TestWithParam<V1Damage> {};

TEST_P(DamagedCacheV1, ListsWhatItCanAndSaysWhatIsWrong) {
    TempFolder temp;
    V1CacheSpec spec;
    spec.entries = {
        {"HTTP:http://a.example/one.swf", kBody, "HTTP/1.1 200 OK\r\n", V1BodyPlace::kBlockFile,
         0x1234567A},
        {"HTTP:http://a.example/two.swf", std::string(20000, 't'), "HTTP/1.1 200 OK\r\n",
         V1BodyPlace::kSeparateFile, 0x3234567C},
    };
    WriteV1Cache(temp.path(), spec);
    const V1Damage& damage = GetParam();
    const std::string path = temp / damage.file;
    std::string bytes = ReadFile(path);
    std::remove(path.c_str());
    if (damage.edit) {
        damage.edit(bytes);
        WriteFile(path, bytes);
    } else {
        ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    }
    auto cache = FirefoxCacheV1::Open(temp.path());
    ASSERT_TRUE(cache.ok());
    const Listing listing = ListAll(**cache);
    std::size_t readable = 0;
    for (const CacheEntry& entry : listing.entries) {
        const auto body = (*cache)->ReadBody(entry.id, 1 << 20);
        EXPECT_EQ(body.ok(), entry.unreadable.empty()) << entry.unreadable << " / " << body.error();
        readable += body.ok();
    }
    EXPECT_EQ(readable, damage.listed);
    if (listing.entries.size() < spec.entries.size()) {
        EXPECT_FALSE(listing.status.ok());
        EXPECT_FALSE(listing.status.error().empty());
    }
    (void)IsFirefoxCacheV1(temp.path());
}

INSTANTIATE_TEST_SUITE_P(Files, DamagedCacheV1, ::testing::ValuesIn(kV1Damages),
                         [](const auto& info) { return info.param.name; });

TEST(DamagedCacheV1Scan, BlockFilesOfNoiseGiveNoRecordsAndNoHang) {
    TempFolder temp;
    std::string noise(1 << 20, '\0');
    std::uint32_t state = 12345;
    for (char& c : noise) {
        state = state * 1103515245 + 12345;
        c = static_cast<char>(state >> 24);
    }
    // A record header with every size at its largest, at a block start.
    PutBig32At(noise, 4096, 0x0001000B);
    PutBig32At(noise, 4096 + 28, 0xFFFFFFFF);
    PutBig32At(noise, 4096 + 32, 0xFFFFFFFF);
    WriteFile(temp / "_CACHE_001_", noise);
    WriteFile(temp / "_CACHE_002_", noise);
    auto cache = FirefoxCacheV1::Open(temp.path());
    ASSERT_TRUE(cache.ok());
    const Listing listing = ListAll(**cache);
    EXPECT_TRUE(listing.entries.empty());
    EXPECT_FALSE(IsFirefoxCacheV1(temp.path()));
}

}  // namespace
}  // namespace pellimor::test
