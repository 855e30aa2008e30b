// Bodies made to cost far more than they take on disk: a few kilobytes of gzip or brotli
// that decode to hundreds of megabytes, a sparse file that reads as a large movie, and one
// page shared by hundreds of entries (a list of too many content codings is refused below:
// ContentDecodingTest). The real terminal program reads, saves and exports them as a child
// process whose peak memory is read from the kernel (wait4) and held to a stated budget,
// and what is legitimately there still comes out right.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "app/CliRun.h"
#include "ground/AddressSanitizer.h"
#include "platform/urlcache/CacheWriter.h"
#include "support/BombBodies.h"
#include "support/FirefoxCache2Writer.h"
#include "support/Outcome.h"

namespace pellimor {
namespace {

namespace fs = std::filesystem;

// What each bomb decodes to: far more than any budget below, a legal movie all the same.
constexpr std::uint64_t kDecoded = 256ULL << 20;
// The most one command may take, whatever the body decodes to: what the program needs to
// run, the start of a body read for a movie's facts (64 MiB) and the pieces on their way; in
// a sanitized build, the address sanitizer's own shadow and bookkeeping (CliRun.h keeps its
// quarantine of freed memory small in the child).
#if PELLIMOR_ADDRESS_SANITIZER
constexpr std::uint64_t kSanitizerBytes = 128ULL << 20;
#else
constexpr std::uint64_t kSanitizerBytes = 0;
#endif
constexpr std::uint64_t kBudget = (160ULL << 20) + kSanitizerBytes;
// A movie the facts read to its end.
constexpr std::uint64_t kWithinFacts = 48ULL << 20;
constexpr const char* kMovieUrl = "http://bomb.example/games/bomb.swf";

using test::Has;
using test::Ran;

// pellimor-cli arguments on the movie at url, held to the budget.
Ran OnMovie(const test::TempFolder& temp, const std::string& cache,
            std::vector<std::string> arguments, const std::string& url = kMovieUrl) {
    for (const std::string& word : {std::string("--url"), url, std::string("--cache"), cache}) {
        arguments.push_back(word);
    }
    const Ran ran = test::Measured(temp.path(), arguments);
    EXPECT_LE(ran.peakBytes, kBudget) << arguments[0];
    return ran;
}

// Whether the file holds exactly the movie of length bytes, compared piece by piece.
bool HoldsBigMovie(const std::string& path, std::uint64_t length) {
    std::ifstream in(path, std::ios::binary);
    bool same = static_cast<bool>(in);
    std::vector<char> there;
    test::BigMovie(length, [&](std::string_view piece) {
        there.resize(piece.size());
        same = same && in.read(there.data(), static_cast<std::streamsize>(piece.size())) &&
               std::equal(piece.begin(), piece.end(), there.begin());
    });
    return same && in.peek() == std::char_traits<char>::eof();
}

struct Bomb {
    const char* what;
    std::string contentEncoding;  // as the response head says it
    std::function<test::Cache2EntrySpec()> body;
    std::uint64_t decoded;  // what the body decodes to
};

test::Cache2EntrySpec Encoded(test::BodyCoding coding, std::uint64_t length) {
    test::Cache2EntrySpec spec;
    spec.body = test::EncodedBigMovie(length, coding);
    return spec;
}

// A Firefox cache2 folder holding the one movie; its folder.
std::string MakeCache(const test::TempFolder& temp, const Bomb& bomb) {
    const std::string cache = temp / "cache2";
    test::MakeFolders(cache + "/entries");
    test::Cache2EntrySpec spec = bomb.body();
    spec.key = std::string(":") + kMovieUrl;
    spec.responseHead = "HTTP/1.1 200 OK\r\nContent-Type: application/x-shockwave-flash\r\n";
    if (!bomb.contentEncoding.empty()) {
        spec.responseHead += "Content-Encoding: " + bomb.contentEncoding + "\r\n";
    }
    test::WriteCache2Entry(cache + "/entries", spec);
    return cache;
}

TEST(BodyBombTest, BodiesThatDecodeLargeStayWithinTheBudgetAndComeOutWhole) {
    const Bomb bombs[] = {
        {"brotli", "br", [] { return Encoded(test::BodyCoding::kBrotli, kDecoded); }, kDecoded},
        {"a sparse plain body", "",
         [] {
             const test::BigMovieParts parts = test::BigMovieSplit(kDecoded);
             test::Cache2EntrySpec spec;
             spec.body = parts.head;  // the rest of the movie stays a hole of zeros
             spec.bodyHole = static_cast<std::uint32_t>(kDecoded - parts.head.size());
             return spec;
         },
         kDecoded},
        {"gzip, identity costing nothing", "identity, gzip ,identity",
         [] { return Encoded(test::BodyCoding::kGzip, kDecoded); }, kDecoded},
        {"gzip the facts read whole", "gzip",
         [] { return Encoded(test::BodyCoding::kGzip, kWithinFacts); }, kWithinFacts},
    };
    for (const Bomb& bomb : bombs) {
        SCOPED_TRACE(bomb.what);
        test::TempFolder temp;
        const std::string cache = MakeCache(temp, bomb);
        const bool sparse = std::string(bomb.what) == "a sparse plain body";

        const Ran info = OnMovie(temp, cache, {"info", "--json"});
        test::MakeFolders(temp / "saved");
        const Ran save = OnMovie(temp, cache, {"save", "--to", temp / "saved"});
        // The pictures are taken by a player of their own, whose memory is not the export's.
        const Ran exported =
            OnMovie(temp, cache, {"export", "--no-pictures", "--to", temp / "games"});

        // The facts of the movie's start: a legal movie, read as far as the facts read.
        EXPECT_EQ(info.status, 0) << info.out;
        for (const std::string& fact : std::vector<std::string>{
                 "\"signature\": \"FWS\"", "\"stageWidth\": 550", "\"truncated\": false",
                 "\"declaredLength\": " + std::to_string(bomb.decoded)}) {
            EXPECT_TRUE(Has(info.out, fact)) << info.out;
        }
        // A movie that fits the facts' reading is read to its end: its tags after a large
        // DefineBinaryData still give what it loads.
        EXPECT_EQ(Has(info.out, std::string(test::kBigMovieLoads)), bomb.decoded == kWithinFacts)
            << info.out;
        // Saved and exported byte for byte as the body decodes (the sparse one is its head
        // and zeros, its tail being the hole's).
        EXPECT_EQ(save.status, 0) << save.out;
        EXPECT_EQ(exported.status, 0) << exported.out;
        const std::string saved = temp / "saved/bomb.swf";
        const std::string content = temp / "games/bomb/content/bomb.example/games/bomb.swf";
        for (const std::string& path : {saved, content}) {
            ASSERT_TRUE(fs::exists(path)) << path << "\n" << save.out << exported.out;
            EXPECT_EQ(fs::file_size(path), bomb.decoded) << path;
            if (!sparse) {
                EXPECT_TRUE(HoldsBigMovie(path, bomb.decoded)) << path;
            }
        }
    }
}

// 120 pages of one site or of 120 sites, each record leading to the same 4 MB file with 256
// embeddings of 15 KB: the export's page index reads a bounded part of them and keeps each
// embedding once, and the movie still finds the first page that embeds it.
TEST(BodyBombTest, PagesSharingOneBodyAreReadWithinTheBudget) {
    for (const bool oneSite : {true, false}) {
        SCOPED_TRACE(oneSite ? "one site" : "120 sites");
        test::TempFolder temp;
        CacheProfileWriter writer(temp / "Windows", indexdat::Flavour::kInternetExplorer, 5);
        std::string page = "<html><body>\n";
        for (int i = 0; i < 256; ++i) {
            page += "<embed src=\"http://site.example/m" + std::to_string(i) +
                    ".swf\" flashvars=\"" + std::string(15000, 'v') +
                    "\" width=\"550\" height=\"400\">\n";
        }
        page += "</body></html>\n";
        ContentEntry movie;
        movie.url = "http://site.example/m0.swf";
        movie.body = std::string("FWS\x0A\x08\x00\x00\x00", 8);
        movie.extension = "swf";
        ASSERT_TRUE(test::Ok(writer.AddContent(movie)));
        std::vector<std::string> pagePaths;
        for (int i = 0; i < 120; ++i) {
            ContentEntry entry;
            entry.url = oneSite ? "http://site.example/page" + std::to_string(i) + ".html"
                                : "http://site" + std::to_string(i) + ".example/page.html";
            entry.body = "<html></html>";
            entry.extension = "html";
            entry.headers = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n";
            const auto path = writer.AddContent(entry);
            ASSERT_TRUE(test::Ok(path));
            pagePaths.push_back(*path);
        }
        ASSERT_TRUE(test::Ok(writer.Save()));
        // One storage for every page.
        test::WriteFile(pagePaths[0], page);
        for (std::size_t i = 1; i < pagePaths.size(); ++i) {
            fs::remove(pagePaths[i]);
            fs::create_hard_link(pagePaths[0], pagePaths[i]);
        }
        const Ran exported =
            OnMovie(temp, writer.cacheFolder(), {"export", "--no-pictures", "--to", temp / "games"},
                    "http://site.example/m0.swf");
        EXPECT_EQ(exported.status, 0) << exported.out;
        // The page found is one of the site's pages, whichever the cache lists first.
        const std::string meta = test::ReadFile(temp / "games/m0/meta.yaml");
        EXPECT_EQ(meta.find("Address: \"http://site.example/page") != std::string::npos, oneSite)
            << meta.substr(0, 400);
    }
}

}  // namespace
}  // namespace pellimor
