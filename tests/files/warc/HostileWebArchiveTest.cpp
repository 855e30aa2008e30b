// Addresses and headers from a stranger's cache cannot break the framing of a web archive:
// every record still reads back whole with warcio, with its digests, and its payload is the
// body byte for byte; a cached head that is no HTTP head gives a resource record.
#include <gtest/gtest.h>

#include "files/warc/WarcRecord.h"
#include "files/warc/WarcioCheck.h"
#include "files/warc/WebArchive.h"
#include "platform/archive/ArchiveFilePosix.h"
#include "platform/archive/ZlibGzip.h"
#include "platform/compression/SwfDecompressor.h"
#include "platform/fileops/PosixFileOps.h"
#include "support/FakeCache.h"
#include "support/TempFolder.h"

namespace pellimor {
namespace {

using namespace std::string_literals;

constexpr UnixTime kJune2009 = 1245846600;

struct Hostile {
    const char* what;
    std::string address;
    std::string headers;
    std::string body;
    const char* type;  // the record warcio reads
};

std::vector<Hostile> Cases() {
    const std::string swfHead =
        "HTTP/1.1 200 OK\r\nContent-Type: application/x-shockwave-flash\r\n";
    return {
        {"line ends in the address", "http://h.example/a\r\nWARC-Type: warcinfo\r\n\r\nb.swf",
         swfHead, "FWS\x08 movie one", "response"},
        {"NUL, blanks and bytes above 0x7F in the address",
         "http://h.example/nul\0 x\xff\xc3\xa9 <\">.swf"s, swfHead, "FWS\x08 two", "response"},
        {"a 64 KB header line", "http://h.example/long.swf",
         "HTTP/1.1 200 OK\r\nX-Long: " + std::string(64 * 1024, 'x') +
             "\r\nContent-Type: application/x-shockwave-flash\r\n",
         "FWS three", "response"},
        {"NUL and a bare CR in header lines, a blank line early", "http://h.example/nul-head.swf",
         "HTTP/1.1 200 OK\r\nX-A: a\0b\r\nContent-Type: text/plain\rX-Evil: 1\r\n\n"
         "WARC/1.1\r\nContent-Length: 1\r\n\r\n"s,
         "FWS four", "response"},
        {"encoded and chunked, stored decoded", "http://h.example/chunked.swf",
         "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nTransfer-Encoding: chunked\r\n"
         "Content-Length: 3\r\n",
         "0\r\n\r\n", "response"},
        {"no HTTP head at all", "http://h.example/nohead.swf", "garbage\r\nX: y\r\n", "FWS five",
         "resource"},
        {"a 64 KB status line", "http://h.example/status.swf",
         "HTTP/1.1 200 " + std::string(64 * 1024, 'O') + "\r\n", "FWS six", "resource"},
        {"a body holding a record of its own", "http://h.example/inner.swf", swfHead,
         "\r\n\r\nWARC/1.1\r\nWARC-Type: response\r\nContent-Length: 0\r\n\r\n\r\n\r\n",
         "response"},
    };
}

TEST(HostileWebArchiveTest, EveryRecordReadsBackWhole) {
    test::TempFolder temp;
    test::FakeCache cache;
    WebArchiveGame game{"hostile", {}};
    std::map<std::string, std::string> payloads;
    const std::vector<Hostile> cases = Cases();
    for (std::size_t i = 0; i < cases.size(); ++i) {
        CacheEntry entry;
        entry.id = EntryId{cache.location, "entries", i};
        entry.kind = EntryKind::kDocument;
        entry.url = cases[i].address;
        entry.headers = cases[i].headers;
        entry.lastModified = kJune2009;
        cache.records.push_back(entry);
        cache.bodies.push_back(cases[i].body);
        game.files.files.push_back(GameFile{cases[i].address, CachedFile{"", "", entry.id, {}}});
        const std::string bodyFile = temp / ("body" + std::to_string(i));
        test::WriteFile(bodyFile, cases[i].body);
        payloads[WarcUri(cases[i].address)] = bodyFile;
        // The head kept has no line too long, no encoding of a body stored decoded, and the
        // body's length (that it is one head without control bytes is fuzz_warc_texts').
        if (const auto head = ArchivedResponseHead(cases[i].headers, cases[i].body.size())) {
            std::size_t longest = 0;
            for (std::size_t at = 0, end = 0; at < head->text.size(); at = end + 1) {
                end = head->text.find('\n', at);
                longest = std::max(longest, end - at);
            }
            EXPECT_LE(longest, kLongestHeaderLine + 1) << cases[i].what;
            EXPECT_EQ(head->text.find("-Encoding"), std::string::npos) << cases[i].what;
            EXPECT_NE(head->text.find("\r\nContent-Length: " +
                                      std::to_string(cases[i].body.size()) + "\r\n\r\n"),
                      std::string::npos)
                << cases[i].what;
        }
    }
    PosixFileOps files;
    SwfDecompressor decompressor;
    ZlibGzip gzip;
    const std::string warc = temp / "hostile.warc.gz";
    {
        auto out = ArchiveFilePosix::Create(warc, ArchiveFilePosix::Form::kPlain, kJune2009);
        ASSERT_TRUE(out.ok()) << out.error();
        WebArchiveServices s{cache, files, decompressor, gzip, **out};
        const auto written = WriteWebArchive({game}, WebArchiveForm::kWarc, kJune2009, "test", s);
        ASSERT_TRUE(written.ok()) << written.error();
        EXPECT_EQ(written->records, cases.size());
    }
    int status = -1;
    const std::string out = test::CheckWithWarcio(warc, "", payloads, status);
    EXPECT_EQ(status, 0) << out;
    // The types in order: warcinfo first, then one record per case.
    std::string types = "\"types\":[\"warcinfo\"";
    for (const Hostile& c : cases) {
        types += ",\""s + c.type + "\"";
    }
    EXPECT_NE(out.find(types + "]"), std::string::npos) << out;
}

// An archive left unfinished leaves nothing behind (that one is never replaced is
// CliWebArchiveTest's).
TEST(HostileWebArchiveTest, AnUnfinishedArchiveLeavesNothing) {
    test::TempFolder temp;
    {
        auto made = ArchiveFilePosix::Create(temp / "new.wacz", ArchiveFilePosix::Form::kZip, 0);
        ASSERT_TRUE(made.ok());
        ASSERT_TRUE((*made)->BeginMember("a").ok());
        ASSERT_TRUE((*made)->Append("bytes").ok());
    }
    EXPECT_FALSE(test::FileExists(temp / "new.wacz"));
}

}  // namespace
}  // namespace pellimor
