#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ground/ByteReader.h"
#include "platform/chromium/ChromiumFolders.h"
#include "platform/chromium/SimpleCache.h"
#include "support/ChromiumSimpleWriter.h"
#include "support/Compressed.h"
#include "support/ListedEntries.h"
#include "support/TempFolder.h"

namespace pellimor {
namespace {

// The user and group nobody, as Debian numbers them.
constexpr uid_t kNobody = 65534;

using test::FindByUrl;
using test::Listing;
using test::SimpleEntrySpec;

const std::string kMovie = std::string("FWS\x08\x20\x00\x00\x00", 8) + std::string(24, '\x11');

SimpleEntrySpec Movie(const std::string& url) {
    SimpleEntrySpec spec;
    spec.key = "1/0/_dk_https://games.example https://games.example " + url;
    spec.body = kMovie;
    spec.headerLines = {"HTTP/1.1 200 OK", "Content-Type: application/x-shockwave-flash",
                        "Last-Modified: Wed, 24 Jun 2009 12:30:00 GMT"};
    return spec;
}

// A page as older Chromes kept it: a key of its address alone, no SHA-256 of the key, the
// response's second flags word, no Last-Modified.
SimpleEntrySpec OldPage() {
    SimpleEntrySpec spec;
    spec.key = "http://old.example/page.html";
    spec.body = "<html>hello</html>";
    spec.headerLines = {"HTTP/1.1 200 OK", "content-type: Text/HTML; charset=utf-8",
                        "Expires: Thu, 01 Jan 2037 00:00:00 GMT"};
    spec.keySha256 = false;
    spec.extraFlags = true;
    spec.responseTime = 1600000000;
    return spec;
}

// The magic number of the records that end a stream.
std::string EndMagic() {
    std::string magic(8, '\0');
    PutU64(reinterpret_cast<std::uint8_t*>(magic.data()), 0xf4fa6f45970d41d8ULL);
    return magic;
}

std::string Modified(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? std::to_string(st.st_mtime) : "none";
}

// An entry as listed: its address, its facts on one line (test::Fields) and its body.
struct Expected {
    std::string url;
    std::string fields;  // the file's time is its last use
    std::string body;
};

// The cache lists exactly these entries, each read whole, and not within less than its size.
void ExpectEntries(ChromiumSimpleCache& cache, const std::string& folder,
                   const std::vector<Expected>& expected) {
    const Listing listing = test::ListAll(cache);
    ASSERT_TRUE(listing.status.ok()) << listing.status.error();
    ASSERT_EQ(listing.entries.size(), expected.size());
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.url.substr(0, 40));
        const CacheEntry* entry = FindByUrl(listing, e.url);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(test::Fields(*entry), e.fields);
        EXPECT_EQ(entry->id.source, folder);
        const auto body = cache.ReadBody(entry->id, 1 << 20);
        ASSERT_TRUE(body.ok()) << body.error();
        EXPECT_EQ(body->bytes, e.body);
        EXPECT_FALSE(body->truncated);
        EXPECT_FALSE(cache.ReadBody(entry->id, e.body.size() - 1).ok());
    }
}

const std::string kListed = " Chrome document https://games.example/";
const std::string kFlash = " | application/x-shockwave-flash  ";
const std::string kStart = " FWS\\x08 \\x00\\x00\\x00 | 1245846600 ";

TEST(ChromiumSimpleCache, ListsEveryEntryFileWithItsAddressAndResponse) {
    test::TempFolder temp;
    test::WriteSimpleIndex(temp.path());
    test::WriteSimpleEntry(temp.path(), 0x0123456789abcdefULL,
                           Movie("https://games.example/a.swf"));
    const SimpleEntrySpec plain = OldPage();
    test::WriteSimpleEntry(temp.path(), 0xfedcba9876543210ULL, plain);
    // Names changed to upper case by a copy through a FAT stick.
    test::WriteFile(temp / "AAAABBBBCCCCDDDD_0",
                    test::SimpleEntryBytes(Movie("https://games.example/upper.swf")));
    // Key, body and response larger than the parts of a file read first.
    const std::string longUrl = "https://games.example/" + std::string(6000, 'k') + ".swf";
    SimpleEntrySpec large = Movie(longUrl);
    large.body = kMovie + std::string(100000, 'b');
    large.headerLines.push_back("X-Padding: " + std::string(10000, 'p'));
    test::WriteSimpleEntry(temp.path(), 7, large);
    // Cut inside its response: the body ends at its own end record, not at the magic in it.
    SimpleEntrySpec cut = Movie("https://games.example/cut.swf");
    cut.body = kMovie + EndMagic() + std::string(40, '\x22');
    test::WriteFile(
        temp / "00000000000000aa_0",
        test::SimpleEntryBytes(cut).substr(0, 24 + cut.key.size() + cut.body.size() + 30));
    // Stored gzipped: read decoded, and within the limit of its decoded size (each encoding is
    // the decoder's own test).
    const std::string script = "var movie = 'games/puzzle.swf';\n" + std::string(3000, 'x');
    SimpleEntrySpec packed = Movie("https://games.example/page.js");
    packed.body = test::Gzipped(script);
    packed.headerLines.push_back("Content-Encoding: GZip");
    test::WriteSimpleEntry(temp.path(), 42, packed);
    // Files of other kinds are no entries.
    test::WriteFile(temp / "0123456789abcdef_1", "stream 2");
    test::WriteFile(temp / "12345_0", test::SimpleEntryBytes(plain));
    test::MakeFolders(temp / "index-dir");

    ChromiumSimpleCache cache(temp.path());
    ExpectEntries(
        cache, temp.path(),
        {
            {"https://games.example/a.swf",
             "0123456789abcdef_0#123456789abcdef" + kListed + "a.swf" + kFlash + "32" + kStart +
                 Modified(temp / "0123456789abcdef_0") + " - | - | ",
             kMovie},
            // No Last-Modified: the response time; and the time it Expires.
            {"http://old.example/page.html",
             "fedcba9876543210_0#fedcba9876543210 Chrome document http://old.example/page.html | "
             "text/html  18 <html>he | 1600000000 " +
                 Modified(temp / "fedcba9876543210_0") + " 2114380800 | - | ",
             plain.body},
            {"https://games.example/upper.swf",
             "AAAABBBBCCCCDDDD_0#aaaabbbbccccdddd" + kListed + "upper.swf" + kFlash + "32" +
                 kStart + Modified(temp / "AAAABBBBCCCCDDDD_0") + " - | - | ",
             kMovie},
            {longUrl,
             "0000000000000007_0#7" + kListed + longUrl.substr(22) + kFlash + "100032" + kStart +
                 Modified(temp / "0000000000000007_0") + " - | - | ",
             large.body},
            {"https://games.example/cut.swf",  // no response: no type, no time but the file's
             "00000000000000aa_0#aa" + kListed + "cut.swf |   80 FWS\\x08 \\x00\\x00\\x00 | - " +
                 Modified(temp / "00000000000000aa_0") + " - | - | ",
             cut.body},
            {"https://games.example/page.js",
             "000000000000002a_0#2a" + kListed + "page.js | application/x-shockwave-flash gzip " +
                 std::to_string(packed.body.size()) +
                 " \\x1f\\x8b\\x08\\x00\\x00\\x00\\x00\\x00 | 1245846600 " +
                 Modified(temp / "000000000000002a_0") + " - | - | ",
             script},
        });
    const Listing listing = test::ListAll(cache);
    const CacheEntry* movie = FindByUrl(listing, "https://games.example/a.swf");
    const CacheEntry* padded = FindByUrl(listing, longUrl);
    ASSERT_TRUE(movie != nullptr && padded != nullptr);
    EXPECT_EQ(movie->headers,
              "HTTP/1.1 200 OK\r\nContent-Type: application/x-shockwave-flash\r\n"
              "Last-Modified: Wed, 24 Jun 2009 12:30:00 GMT\r\n\r\n");
    EXPECT_NE(padded->headers.find(std::string(10000, 'p')), std::string::npos);
}

// Many entry files are read on two threads: each entry still comes with its own file's
// address, in the order of the files' names, the damaged ones counted once each.
TEST(ChromiumSimpleCache, ManyEntryFilesListInNameOrderEachWithItsOwnAddress) {
    test::TempFolder temp;
    test::WriteSimpleIndex(temp.path());
    constexpr std::uint64_t kFiles = 300;
    std::uint64_t damaged = 0;
    for (std::uint64_t hash = 1; hash <= kFiles; ++hash) {
        if (hash % 7 == 0) {
            test::WriteFile(temp / test::SimpleEntryName(hash), "");  // cut off before its header
            ++damaged;
        } else {
            test::WriteSimpleEntry(temp.path(), hash,
                                   Movie("https://games.example/" + std::to_string(hash) + ".swf"));
        }
    }
    ChromiumSimpleCache cache(temp.path());
    const Listing listing = test::ListAll(cache);
    ASSERT_FALSE(listing.status.ok());
    EXPECT_NE(listing.status.error().find(std::to_string(damaged) + " of " +
                                          std::to_string(kFiles) + " entry files"),
              std::string::npos)
        << listing.status.error();
    ASSERT_EQ(listing.entries.size(), kFiles - damaged);
    std::uint64_t previous = 0;
    for (const CacheEntry& entry : listing.entries) {
        const std::uint64_t hash = std::stoull(entry.id.file.substr(0, 16), nullptr, 16);
        EXPECT_GT(hash, previous);
        previous = hash;
        EXPECT_EQ(entry.url, "https://games.example/" + std::to_string(hash) + ".swf");
    }
    // A visitor that stops sees nothing after.
    std::size_t seen = 0;
    (void)cache.Enumerate([&](const CacheEntry&) { return ++seen < 100; });
    EXPECT_EQ(seen, 100u);
}

// A delete takes the chosen entry's files, and nothing whose file now holds another
// address, lies outside the folder, is a link or belongs to another source.
TEST(ChromiumSimpleCache, DeleteRemovesTheEntrysFilesAndNothingElse) {
    test::TempFolder temp;
    const std::string cache = temp / "cache";
    test::MakeFolders(cache);
    test::WriteSimpleIndex(cache);
    for (const auto& [hash, name] : {std::pair{0x1111, "gone"}, std::pair{0x2222, "stays"}}) {
        SimpleEntrySpec spec = Movie("https://games.example/" + std::string(name) + ".swf");
        spec.stream2 = "metadata";
        spec.sparse = true;
        test::WriteSimpleEntry(cache, hash, spec);
    }
    const std::string outside =
        test::WriteSimpleEntry(temp.path(), 0x3333, Movie("https://games.example/outside.swf"));
    ASSERT_EQ(::symlink(outside.c_str(), (cache + "/0000000000003333_0").c_str()), 0);

    ChromiumSimpleCache source(cache);
    ASSERT_TRUE(source.CanDelete().ok()) << source.CanDelete().error();
    const Listing listed = test::ListAll(source);
    ASSERT_EQ(listed.entries.size(), 2u);  // not the link
    const CacheEntry* gone = FindByUrl(listed, "https://games.example/gone.swf");
    ASSERT_NE(gone, nullptr);
    const std::vector<EntryId> refused = {
        {cache, "../0000000000003333_0", 0x3333},
        {cache, "/etc/passwd", 0},
        {cache, "0000000000003333_0", 0x3333},        // the link
        {temp.path(), "0000000000003333_0", 0x3333},  // another source's entry
    };
    for (const EntryId& id : refused) {
        EXPECT_FALSE(source.DeleteEntries({{id, std::nullopt, std::nullopt}})[0].ok()) << id.file;
        EXPECT_FALSE(source.ReadBody(id, 1 << 20).ok()) << id.file;
    }
    EXPECT_TRUE(test::FileExists(outside));
    const auto results = source.DeleteEntries({{gone->id, gone->url, std::nullopt}});
    ASSERT_EQ(results.size(), 1u);
    EXPECT_TRUE(results[0].ok()) << results[0].error();
    EXPECT_EQ(test::VisibleNames(cache),
              (std::vector<std::string>{"0000000000002222_0", "0000000000002222_1",
                                        "0000000000002222_s", "0000000000003333_0", "index"}));
    // Chromium reused the file for another address since the listing: it stays.
    const CacheEntry* stays = FindByUrl(listed, "https://games.example/stays.swf");
    ASSERT_NE(stays, nullptr);
    test::WriteFile(cache + "/0000000000002222_0",
                    test::SimpleEntryBytes(Movie("https://games.example/newer.swf")));
    EXPECT_FALSE(source.DeleteEntries({{stays->id, stays->url, std::nullopt}})[0].ok());
    EXPECT_TRUE(test::FileExists(cache + "/0000000000002222_0"));
}

TEST(ChromiumSimpleCache, ReadOnlyFolderCannotBeChanged) {
    test::TempFolder temp;
    test::MakeFolders(temp / "cache");
    test::WriteSimpleEntry(temp / "cache", 0x1111, Movie("https://games.example/a.swf"));
    ASSERT_EQ(::chmod((temp / "cache").c_str(), 0555), 0);
    // Root may write into any folder: there the check runs as nobody, who owns the folder, so
    // that only its mode forbids the change.
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chmod(temp.path().c_str(), 0755), 0);
        ASSERT_EQ(::chown((temp / "cache").c_str(), kNobody, kNobody), 0);
    }
    EXPECT_EQ(test::InChild([&] {
                  if (root && (::setgroups(0, nullptr) != 0 ||
                               ::setresgid(kNobody, kNobody, kNobody) != 0 ||
                               ::setresuid(kNobody, kNobody, kNobody) != 0)) {
                      return 2;
                  }
                  const Status allowed = ChromiumSimpleCache(temp / "cache").CanDelete();
                  return !allowed.ok() && allowed.error().find("not writable") != std::string::npos
                             ? 0
                             : 1;
              }),
              0);
    ::chmod((temp / "cache").c_str(), 0755);
}

struct SimpleDamage {
    std::string name;
    std::string bytes;
    bool listed;  // the damaged entry appears, as far as it can be read
    bool truncated;
};

// Damaged files to put in place of the entry file of these bytes. Files of other kinds (a
// FIFO, a folder, links out) are opened as every entry file of a folder is: DamagedCache2.
std::vector<SimpleDamage> DamagedFiles(const SimpleEntrySpec& spec) {
    const std::string good = test::SimpleEntryBytes(spec);
    const std::size_t keyEnd = 24 + spec.key.size();
    const std::size_t bodyEnd = keyEnd + spec.body.size();
    auto patched = [&](std::size_t offset, std::uint32_t value) {
        std::string bytes = good;
        PutU32(reinterpret_cast<std::uint8_t*>(&bytes[offset]), value);
        return bytes;
    };
    return {
        {"empty", "", false, false},
        {"inside the header", good.substr(0, 10), false, false},
        {"inside the key", good.substr(0, keyEnd - 3), false, false},
        {"at the body's start", good.substr(0, keyEnd), true, true},
        {"inside the body", good.substr(0, keyEnd + 10), true, true},
        {"flagged as cut short while it arrived",
         [&] {
             SimpleEntrySpec flagged = spec;
             flagged.truncatedFlag = true;
             return test::SimpleEntryBytes(flagged);
         }(),
         true, true},
        {"inside the body's end record", good.substr(0, bodyEnd + 10), true, false},
        {"inside the response", good.substr(0, bodyEnd + 24 + 6), true, false},
        {"inside the last record", good.substr(0, good.size() - 5), true, false},
        {"magic wrong", patched(0, 0x01020304), false, false},
        {"key length huge", patched(12, 0xfffffff0), false, false},
        {"key length past the end", patched(12, static_cast<std::uint32_t>(good.size())), false,
         false},
        {"response size huge", patched(good.size() - 8, 0xfffffff0), false, false},
        {"response size off by 4",
         patched(good.size() - 8,
                 static_cast<std::uint32_t>(test::PickledResponse(spec).size() + 4)),
         false, false},
        {"key without an address",
         [&] {
             SimpleEntrySpec noUrl = spec;
             noUrl.key = "1/0/_dk_x y not-an-address";
             return test::SimpleEntryBytes(noUrl);
         }(),
         false, false},
        {"response size reaching back to a record's magic in the key",
         [&] {
             // The sizes would put the body's end record at the key's first token.
             SimpleEntrySpec magicKey = spec;
             magicKey.key = "1/0/_dk_" + EndMagic() +
                            " https://games.example https://games.example/damaged.swf";
             std::string bytes = test::SimpleEntryBytes(magicKey);
             const auto trailer = static_cast<std::uint32_t>(bytes.size() - 24 - 8 - 32 - 48);
             PutU32(reinterpret_cast<std::uint8_t*>(&bytes[bytes.size() - 8]), trailer);
             return bytes;
         }(),
         false, false},
        {"response pickle length huge", patched(bodyEnd + 24, 0x7ffffff0), true, false},
        {"headers length huge", patched(bodyEnd + 24 + 4 + 20, 0x7ffffff0), true, false},
    };
}

// Damaged entry files beside a good one: each is left out with a message or
// listed as far as it can be read; nothing crashes or waits.
TEST(ChromiumSimpleCache, DamagedEntryFiles) {
    const SimpleEntrySpec spec = Movie("https://games.example/damaged.swf");
    for (const SimpleDamage& c : DamagedFiles(spec)) {
        test::TempFolder temp;
        test::MakeFolders(temp / "cache");
        test::WriteSimpleEntry(temp / "cache", 0x1, Movie("https://games.example/good.swf"));
        const std::string damaged = temp / "cache/00000000000000ff_0";
        test::WriteFile(damaged, c.bytes);
        ChromiumSimpleCache cache(temp / "cache");
        const Listing listing = test::ListAll(cache);
        const Status& status = listing.status;
        const CacheEntry* whole = FindByUrl(listing, "https://games.example/good.swf");
        ASSERT_NE(whole, nullptr) << c.name;
        EXPECT_FALSE(cache.ReadBody(whole->id, 1 << 20)->truncated) << c.name;
        const CacheEntry* listed = FindByUrl(listing, "https://games.example/damaged.swf");
        EXPECT_EQ(listed != nullptr, c.listed) << c.name;
        EXPECT_EQ(status.ok(), c.listed) << c.name << ": " << status.error();
        if (!c.listed) {
            EXPECT_NE(status.error().find("00000000000000ff_0"), std::string::npos)
                << c.name << ": " << status.error();
        }
        if (listed != nullptr) {
            const auto body = cache.ReadBody(listed->id, 1 << 20);
            ASSERT_TRUE(body.ok()) << c.name << ": " << body.error();
            EXPECT_EQ(body->truncated, c.truncated) << c.name;
            EXPECT_EQ(body->bytes, spec.body.substr(0, body->bytes.size())) << c.name;
        }
    }
}

TEST(ChromiumFolders, SimpleCacheIsToldByItsFilesMagic) {
    test::TempFolder temp;
    const std::string blockfile =
        std::string(PELLIMOR_TEST_DATA) + "/browsers/chromium-blockfile-partial";
    test::MakeFolders(temp / "index-only");
    test::WriteSimpleIndex(temp / "index-only");
    test::MakeFolders(temp / "entry-only");
    test::WriteFile(temp / "entry-only/0123456789ABCDEF_0",
                    test::SimpleEntryBytes(Movie("https://games.example/a.swf")));
    test::MakeFolders(temp / "wrong-magic");
    test::WriteFile(temp / "wrong-magic/0123456789abcdef_0", std::string(64, 'x'));
    test::WriteFile(temp / "wrong-magic/index", std::string(64, 'x'));
    test::MakeFolders(temp / "empty");
    test::MakeFolders(temp / "upper-blockfile");
    test::WriteFile(temp / "upper-blockfile/INDEX", test::ReadFile(blockfile + "/index"));
    const struct {
        std::string folder;
        bool simple;
        bool blockfile;
    } cases[] = {
        {temp / "index-only", true, false},   {temp / "entry-only", true, false},
        {temp / "wrong-magic", false, false}, {temp / "empty", false, false},
        {temp / "absent", false, false},      {temp / "upper-blockfile", false, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsChromiumSimpleCache(c.folder), c.simple) << c.folder;
        EXPECT_EQ(IsChromiumBlockFileCache(c.folder), c.blockfile) << c.folder;
    }
    // A folder that is absent or a file can be neither listed nor changed.
    test::WriteFile(temp / "file", "x");
    for (const std::string& folder : {temp / "absent", temp / "file"}) {
        ChromiumSimpleCache cache(folder);
        EXPECT_FALSE(test::ListAll(cache).status.ok()) << folder;
        EXPECT_FALSE(cache.CanDelete().ok()) << folder;
    }
}

}  // namespace
}  // namespace pellimor
