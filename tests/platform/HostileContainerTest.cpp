#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "ground/ByteReader.h"
#include "platform/fileops/MappedFile.h"
#include "platform/listing/ListedTexts.h"
#include "platform/urlcache/CacheWriter.h"
#include "platform/urlcache/ContainerChecker.h"
#include "platform/urlcache/IndexDatCache.h"
#include "support/Outcome.h"
#include "support/TempFolder.h"

namespace pellimor {
namespace {

using Bytes = std::string;

std::uint32_t Get32(const Bytes& b, std::size_t at) {
    return *ByteReader(std::span(reinterpret_cast<const std::uint8_t*>(b.data()), b.size()))
                .U32(at);
}
void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
    PutU32(reinterpret_cast<std::uint8_t*>(&b[at]), v);
}
std::uint32_t Hash(const Bytes& b) {
    return Get32(b, 0x20);
}
// Where the n-th live hash item lies, and the offset of its record.
std::size_t Item(const Bytes& b, int n) {
    for (std::uint32_t i = 0; i < 448; ++i) {
        const std::size_t at = Hash(b) + 16 + i * 8;
        if (const std::uint32_t key = Get32(b, at); key != 3 && key != 1 && n-- == 0) {
            return at;
        }
    }
    return 0;
}
std::uint32_t Record(const Bytes& b, int n) {
    return Get32(b, Item(b, n) + 4);
}
// The live record that lies furthest into the file; it spans two blocks at least.
std::uint32_t LastRecord(const Bytes& b) {
    std::uint32_t last = 0;
    for (int n = 0; n < 40; ++n) {
        last = std::max(last, Record(b, n));
    }
    EXPECT_GE(Get32(b, last + 4), 2u);
    return last;
}
enum class Expect { kRefused, kInconsistent, kReadable };

struct Damage {
    const char* name;
    std::function<void(Bytes&)> apply;
    Expect expect;
    std::size_t mostListed = 40;
    const char* reason = "";  // what the listing's error names
};

const std::vector<Damage>& Damages() {
    static const std::vector<Damage> damages = {
        {"empty file", [](Bytes& b) { b.clear(); }, Expect::kRefused},
        {"header only", [](Bytes& b) { b.resize(0x250); }, Expect::kRefused},
        {"unknown signature", [](Bytes& b) { b.replace(0, 6, "Foobar"); }, Expect::kRefused},
        {"signature of a newer version", [](Bytes& b) { b[26] = '3'; }, Expect::kRefused},
        {"too many folders", [](Bytes& b) { Put32(b, 0x48, 33); }, Expect::kRefused},
        {"folder count near 2^32", [](Bytes& b) { Put32(b, 0x48, 0xFFFFFFFF); }, Expect::kRefused},
        {"truncated in the records", [](Bytes& b) { b.resize(b.size() - 300); },
         Expect::kInconsistent},
        {"truncated in the hash table", [](Bytes& b) { b.resize(Hash(b) + 100); },
         Expect::kInconsistent},
        {"file size field too large", [](Bytes& b) { Put32(b, 0x1C, 0x7FFFFFFF); },
         Expect::kInconsistent},
        {"file size field too small", [](Bytes& b) { Put32(b, 0x1C, 0x4000); },
         Expect::kInconsistent},
        {"capacity too large", [](Bytes& b) { Put32(b, 0x24, 0xFFFFFFF0); }, Expect::kInconsistent},
        {"blocks in use off by one", [](Bytes& b) { Put32(b, 0x28, Get32(b, 0x28) + 1); },
         Expect::kInconsistent},
        {"hash table offset past the end", [](Bytes& b) { Put32(b, 0x20, 0xFFFFFF00); },
         Expect::kInconsistent},
        {"hash table offset in the header", [](Bytes& b) { Put32(b, 0x20, 0x100); },
         Expect::kInconsistent},
        {"hash table offset not on a block", [](Bytes& b) { Put32(b, 0x20, Hash(b) + 4); },
         Expect::kInconsistent},
        {"hash table points at itself", [](Bytes& b) { Put32(b, Hash(b) + 8, Hash(b)); },
         Expect::kInconsistent, 40, "the hash tables form a loop"},
        {"hash chain into a URL record", [](Bytes& b) { Put32(b, Hash(b) + 8, Record(b, 0)); },
         Expect::kInconsistent},
        {"hash table renumbered", [](Bytes& b) { Put32(b, Hash(b) + 12, 5); },
         Expect::kInconsistent},
        {"hash signature gone", [](Bytes& b) { b.replace(Hash(b), 4, "HAXH"); },
         Expect::kInconsistent},
        {"item past the end", [](Bytes& b) { Put32(b, Item(b, 0) + 4, 0x7FFFFF80); },
         Expect::kInconsistent},
        {"item into the header", [](Bytes& b) { Put32(b, Item(b, 0) + 4, 0x200); },
         Expect::kInconsistent},
        {"item off a block boundary", [](Bytes& b) { Put32(b, Item(b, 0) + 4, Record(b, 0) + 8); },
         Expect::kInconsistent},
        {"item at a free block",
         [](Bytes& b) { Put32(b, Item(b, 0) + 4, static_cast<std::uint32_t>(b.size() - 128)); },
         Expect::kInconsistent},
        {"record blocks huge", [](Bytes& b) { Put32(b, Record(b, 0) + 4, 0x40000000); },
         Expect::kInconsistent},
        {"file size field ending inside the last record",
         [](Bytes& b) { Put32(b, 0x1C, LastRecord(b) + 128); }, Expect::kInconsistent, 39},
        {"record blocks zero", [](Bytes& b) { Put32(b, Record(b, 0) + 4, 0); },
         Expect::kInconsistent},
        {"record signature unknown", [](Bytes& b) { b.replace(Record(b, 1), 4, "ABCD"); },
         Expect::kInconsistent},
        {"URL offset past the record", [](Bytes& b) { Put32(b, Record(b, 2) + 0x34, 0x10000); },
         Expect::kInconsistent},
        {"URL without terminator",
         [](Bytes& b) {
             const std::uint32_t r = Record(b, 3);
             for (std::uint32_t i = 0x68; i < Get32(b, r + 4) * 128; ++i) {
                 b[r + i] = 'u';
             }
         },
         Expect::kInconsistent},
        {"file name offset into the fixed part", [](Bytes& b) { Put32(b, Record(b, 4) + 0x3C, 4); },
         Expect::kReadable},
        {"headers size near 2^32", [](Bytes& b) { Put32(b, Record(b, 5) + 0x48, 0xFFFFFFF0); },
         Expect::kReadable},
        {"sub-folder index past the folders", [](Bytes& b) { b[Record(b, 6) + 0x38] = 9; },
         Expect::kInconsistent},
        {"folder name with a separator", [](Bytes& b) { b.replace(0x50, 8, "../../.."); },
         Expect::kReadable},
        {"file name with a separator",
         [](Bytes& b) {
             const std::uint32_t r = Record(b, 8);
             b.replace(r + Get32(b, r + 0x3C), 9, std::string("../x.swf\0", 9));
         },
         Expect::kReadable},
        {"folder count raised", [](Bytes& b) { Put32(b, 0x4C, Get32(b, 0x4C) + 3); },
         Expect::kInconsistent},
        {"leak list looping",
         [](Bytes& b) {
             const std::uint32_t r = Record(b, 7);
             b.replace(r, 4, "LEAK");
             Put32(b, 0x224, r);
             Put32(b, r + 0x2C, r);
         },
         Expect::kInconsistent},
        {"bitmap all set",
         [](Bytes& b) { std::fill(b.begin() + 0x250, b.begin() + 0x4000, '\xFF'); },
         Expect::kInconsistent},
    };
    return damages;
}

// A content container of 40 movies, the address of each start then its number in two
// digits; its folder.
std::string WriteMovies(const test::TempFolder& temp, const std::string& start) {
    CacheProfileWriter writer(temp / "made", indexdat::Flavour::kInternetExplorer, 3);
    for (int i = 0; i < 40; ++i) {
        ContentEntry e;
        e.url = start + (i < 10 ? "0" : "") + std::to_string(i) + ".swf";
        e.nameBase = "m" + std::to_string(i);
        e.body = "FWS";
        e.extension = "swf";
        e.headers = "HTTP/1.1 200 OK\r\n\r\n";
        EXPECT_TRUE(test::Ok(writer.AddContent(e)));
    }
    EXPECT_TRUE(test::Ok(writer.Save()));
    return writer.contentFolder();
}

TEST(HostileContainers, GiveAnErrorOrAPartialListingAndNeverAChange) {
    test::TempFolder temp;
    const std::string folder = WriteMovies(temp, "http://hostile.example/m");
    const Bytes original = test::ReadFile(folder + "/index.dat");
    for (const Damage& damage : Damages()) {
        SCOPED_TRACE(damage.name);
        Bytes bytes = original;
        damage.apply(bytes);
        test::WriteFile(folder + "/index.dat", bytes);
        IndexDatCache cache(folder, 1252);
        std::size_t listed = 0;
        const Status status = cache.EnumerateRecords([&](const CacheRecord& r) {
            ++listed;
            if (r.localFileName) {  // a local file is always one of the container's own
                EXPECT_EQ(r.localFileName->rfind(folder + "/", 0), 0u);
                EXPECT_EQ(r.localFileName->find("/../"), std::string::npos);
            }
            return true;
        });
        EXPECT_LE(listed, damage.mostListed);
        EXPECT_NE(status.error().find(damage.reason), std::string::npos) << status.error();
        const auto file = MappedFile::Open(folder + "/index.dat");
        ASSERT_TRUE(file);
        const auto view = indexdat::ContainerView::Open(file->bytes());
        if (damage.expect == Expect::kRefused) {
            EXPECT_FALSE(view);
            EXPECT_FALSE(status.ok());
            EXPECT_FALSE(status.error().empty());
            continue;
        }
        ASSERT_TRUE(view) << view.error();
        const auto problems = indexdat::CheckContainer(*view);
        if (damage.expect == Expect::kInconsistent) {
            EXPECT_FALSE(problems.empty());
            // Refused before anything is written: the entry is not found, or the index is
            // left as it is.
            const Status deleted = cache.DeleteEntry("http://hostile.example/m00.swf");
            EXPECT_FALSE(deleted.ok());
            if (deleted.error().find("holds no entry") == std::string::npos) {
                EXPECT_NE(deleted.error().find("left as it is"), std::string::npos)
                    << deleted.error();
            }
            EXPECT_EQ(test::ReadFile(folder + "/index.dat"), bytes)
                << "a damaged index was changed";
        } else {
            EXPECT_EQ(problems, std::vector<std::string>{});
            EXPECT_EQ(listed, 40u);
        }
    }
}

// Hash items that all lead to one record of a long address: listed once, its address cut to
// what a listing keeps and the reason given, however many items the table holds.
TEST(HostileContainers, ItemsSharingOneRecordListItOnceCapped) {
    test::TempFolder temp;
    const std::string longUrl = "http://hostile.example/" + std::string(20000, 'a');
    const std::string folder = WriteMovies(temp, longUrl);
    Bytes bytes = test::ReadFile(folder + "/index.dat");
    const std::uint32_t shared = Record(bytes, 0);
    for (int n = 1; n < 40; ++n) {
        Put32(bytes, Item(bytes, n) + 4, shared);
    }
    test::WriteFile(folder + "/index.dat", bytes);
    IndexDatCache cache(folder, 1252);
    std::vector<CacheEntry> listed;
    (void)cache.Enumerate([&](const CacheEntry& entry) {
        listed.push_back(entry);
        return true;
    });
    ASSERT_EQ(listed.size(), 1u);
    ASSERT_TRUE(listed[0].url);
    EXPECT_EQ(*listed[0].url, longUrl.substr(0, kMaxListedAddress));
    EXPECT_EQ(listed[0].unreadable, OverlongAddressReason(longUrl.size() + 6));
    ASSERT_TRUE(listed[0].localFileName);  // still listed by its file's name
}

}  // namespace
}  // namespace pellimor
