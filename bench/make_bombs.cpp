// Writes caches whose bodies cost far more than they take on disk, for measuring what the
// terminal's commands need for them (bench/bombs.sh):
//   bench_make_bombs DIR [DECODED_MIB]
//   DIR/gzip, DIR/br     one movie of DECODED_MIB (default 1024) MiB in ~1 MB of gzip / ~1 KB
//                        of brotli (Firefox cache2)
//   DIR/sparse           the same movie stored plain in a sparse file (a hole)
//   DIR/identities       a 16 MiB movie whose Content-Encoding is "identity," 400,000 times
//   DIR/pages            300 WinINet pages whose records share one 4 MB file of 256
//                        embeddings, and the movie they embed
// The movie's address is http://bomb.example/games/bomb.swf; the pages' movie
// http://site.example/m0.swf.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/urlcache/CacheWriter.h"
#include "support/BombBodies.h"
#include "support/FirefoxCache2Writer.h"
#include "support/TempFolder.h"

namespace {

using namespace pellimor;

void MovieCache(const std::string& folder, test::Cache2EntrySpec spec,
                const std::string& encoding) {
    test::MakeFolders(folder + "/cache2/entries");
    spec.key = ":http://bomb.example/games/bomb.swf";
    spec.responseHead = "HTTP/1.1 200 OK\r\nContent-Type: application/x-shockwave-flash\r\n";
    if (!encoding.empty()) {
        spec.responseHead += "Content-Encoding: " + encoding + "\r\n";
    }
    test::WriteCache2Entry(folder + "/cache2/entries", spec);
}

bool Pages(const std::string& folder) {
    CacheProfileWriter writer(folder + "/Windows", indexdat::Flavour::kInternetExplorer, 5);
    std::string page = "<html><body>\n";
    for (int i = 0; i < 256; ++i) {
        page += "<embed src=\"http://site.example/m" + std::to_string(i) + ".swf\" flashvars=\"" +
                std::string(15000, 'v') + "\" width=\"550\" height=\"400\">\n";
    }
    ContentEntry movie;
    movie.url = "http://site.example/m0.swf";
    movie.body = std::string("FWS\x0A\x08\x00\x00\x00", 8);
    movie.extension = "swf";
    if (!writer.AddContent(movie)) {
        return false;
    }
    std::vector<std::string> paths;
    for (int i = 0; i < 300; ++i) {
        ContentEntry entry;
        entry.url = "http://site.example/page" + std::to_string(i) + ".html";
        entry.body = "<html></html>";
        entry.extension = "html";
        entry.headers = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n";
        const auto path = writer.AddContent(entry);
        if (!path) {
            return false;
        }
        paths.push_back(*path);
    }
    if (!writer.Save()) {
        return false;
    }
    test::WriteFile(paths[0], page);
    for (std::size_t i = 1; i < paths.size(); ++i) {
        std::filesystem::remove(paths[i]);
        std::filesystem::create_hard_link(paths[0], paths[i]);
    }
    std::printf("%s\n", writer.cacheFolder().c_str());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_make_bombs DIR [DECODED_MIB]\n");
        return 2;
    }
    const std::string root = argv[1];
    const std::uint64_t decoded = (argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1024) << 20;
    test::Cache2EntrySpec gzip;
    gzip.body = test::EncodedBigMovie(decoded, test::BodyCoding::kGzip);
    MovieCache(root + "/gzip", gzip, "gzip");
    test::Cache2EntrySpec br;
    br.body = test::EncodedBigMovie(decoded, test::BodyCoding::kBrotli);
    MovieCache(root + "/br", br, "br");
    const test::BigMovieParts parts = test::BigMovieSplit(decoded);
    test::Cache2EntrySpec sparse;
    sparse.body = parts.head;
    sparse.bodyHole = static_cast<std::uint32_t>(decoded - parts.head.size());
    MovieCache(root + "/sparse", sparse, "");
    test::Cache2EntrySpec plain;
    test::BigMovie(16u << 20, [&plain](std::string_view piece) { plain.body += piece; });
    std::string identities;
    for (int i = 0; i < 400000; ++i) {
        identities += "identity,";
    }
    MovieCache(root + "/identities", plain, identities + "identity");
    if (!Pages(root + "/pages")) {
        std::fprintf(stderr, "the pages could not be written\n");
        return 1;
    }
    std::printf("gzip %zu bytes, br %zu bytes, in %s\n", gzip.body.size(), br.body.size(),
                root.c_str());
    return 0;
}
