// Writes a Chromium simple cache and a Firefox cache2 folder of N entries each, half of them
// SWF movies (every other one), the rest small pictures, for the listing benchmarks:
//   bench_make_browser_caches DIR N   ->  DIR/chromium/<hash>_0 ..., DIR/firefox/cache2/entries/...
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/ChromiumSimpleWriter.h"
#include "support/FirefoxCache2Writer.h"
#include "support/TempFolder.h"

namespace {

// A small FWS movie: header, stage rectangle, rate, count, End tag; its length field is right.
std::string Movie(unsigned i) {
    std::string body = "FWS";
    body.push_back(10);
    const std::string rest = std::string("\x50\x00\x02\x58\x00\x00\x96\x00\x00\x18\x01\x00", 12) +
                             "frame " + std::to_string(i) + std::string(2, '\0');
    const auto length = static_cast<std::uint32_t>(8 + rest.size());
    for (int shift = 0; shift < 32; shift += 8) {
        body.push_back(static_cast<char>((length >> shift) & 0xFF));
    }
    return body + rest;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_make_browser_caches DIR ENTRIES\n");
        return 2;
    }
    const std::string root = argv[1];
    const unsigned entries = static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10));
    const std::string chromium = root + "/chromium";
    const std::string cache2 = root + "/firefox/cache2/entries";
    pellimor::test::MakeFolders(chromium);
    pellimor::test::MakeFolders(cache2);
    pellimor::test::WriteSimpleIndex(chromium);
    for (unsigned i = 0; i < entries; ++i) {
        const bool movie = i % 2 == 0;
        const std::string url = "http://site" + std::to_string(i % 97) + ".example/games/" +
                                (movie ? "game" : "picture") + std::to_string(i) +
                                (movie ? ".swf" : ".png");
        const std::string type = movie ? "application/x-shockwave-flash" : "image/png";
        const std::string body = movie ? Movie(i) : std::string(300, 'p');
        pellimor::test::SimpleEntrySpec simple;
        simple.key = "1/0/_dk_http://site.example http://site.example " + url;
        simple.body = body;
        simple.headerLines = {"HTTP/1.1 200 OK", "Content-Type: " + type};
        pellimor::test::WriteSimpleEntry(chromium, 0x1000000000000000ULL + i, simple);
        pellimor::test::Cache2EntrySpec firefox;
        firefox.key = ":" + url;
        firefox.body = body;
        firefox.responseHead = "HTTP/1.1 200 OK\r\nContent-Type: " + type + "\r\n";
        firefox.lastModified = 1300000000 + i;
        pellimor::test::WriteCache2Entry(cache2, firefox);
    }
    std::printf("%u entries in %s and %s\n", entries, chromium.c_str(), cache2.c_str());
    return 0;
}
