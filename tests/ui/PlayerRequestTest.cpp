// What the preview page's scheme answers, read off the address alone: every part of the page
// by its address, and nothing for an address that reaches out of Ruffle's folder or tells an
// event without the page's key.
#include <gtest/gtest.h>

#include "ui/player/PlayerRequest.h"

namespace pellimor {
namespace {

constexpr std::string_view kKey = "3f9a0c1d2e4b5a6978c0d1e2f3a4b5c6";
const std::string kEventWithKey =
    "pellimor://player/event?key=3f9a0c1d2e4b5a6978c0d1e2f3a4b5c6&name=";

using Kind = PlayerRequestKind;

TEST(PlayerRequest, EachPartOfThePageByItsAddress) {
    const struct {
        std::string url;
        Kind kind;
        const char* name;
        const char* value;
    } rows[] = {
        {"pellimor://player/", Kind::kPageFile, "index.html", ""},
        {"pellimor://player/index.html", Kind::kPageFile, "index.html", ""},
        {"pellimor://player/player.js", Kind::kPageFile, "player.js", ""},
        {"pellimor://player/options.js", Kind::kOptions, "", ""},
        {"pellimor://player/ruffle/ruffle.js", Kind::kRuffleFile, "ruffle.js", ""},
        {"pellimor://player/ruffle/72a20ef1c0b8ceb37720.wasm", Kind::kRuffleFile,
         "72a20ef1c0b8ceb37720.wasm", ""},
        {"pellimor://player/cache?url=http%3A%2F%2Fa.example%2Fx.swf%3Fa%3D1%2B2", Kind::kCache, "",
         "http://a.example/x.swf?a=1+2"},
        {"pellimor://player/file?path=%2Fhome%2Fu%2Fm%20%5B1%5D.swf", Kind::kFile, "",
         "/home/u/m [1].swf"},
        // The first of two values, as a query reader gives it.
        {"pellimor://player/file?path=%2Fa.swf&path=%2Fb.swf", Kind::kFile, "", "/a.swf"},
        // Every event the window uses, the key anywhere in the query.
        {kEventWithKey + "ready", Kind::kEvent, "ready", ""},
        {kEventWithKey + "metadata", Kind::kEvent, "metadata", ""},
        {kEventWithKey + "frame", Kind::kEvent, "frame", ""},
        {kEventWithKey + "missing", Kind::kEvent, "missing", ""},
        {kEventWithKey + "failed", Kind::kEvent, "failed", ""},
        {"pellimor://player/event?name=ready&key=3f9a0c1d2e4b5a6978c0d1e2f3a4b5c6", Kind::kEvent,
         "ready", ""},
    };
    for (const auto& row : rows) {
        const PlayerRequest request = ParsePlayerRequest(row.url, kKey);
        EXPECT_EQ(request.kind, row.kind) << row.url;
        EXPECT_EQ(request.name, row.name) << row.url;
        EXPECT_EQ(request.value, row.value) << row.url;
    }
}

TEST(PlayerRequest, NothingForWhatIsNoPartOfThePage) {
    const std::string refused[] = {
        // Out of Ruffle's folder, hidden files, separators however spelt.
        "pellimor://player/ruffle/",
        "pellimor://player/ruffle/../index.html",
        "pellimor://player/ruffle/%2E%2E%2Fetc%2Fpasswd",
        "pellimor://player/ruffle/a%2Fb.js",
        "pellimor://player/ruffle/a%5Cb.js",
        "pellimor://player/ruffle/.hidden",
        "pellimor://player/ruffle/a..js",
        "pellimor://player/ruffle/ruffle.js%00.txt",
        "pellimor://player/ruffle/sub/ruffle.js",
        // Not the page's host, scheme or parts.
        "pellimor://other/index.html",
        "pellimor://player.evil/index.html",
        "pellimor://user@player/index.html",
        "pellimor://player:80/index.html",
        "http://player/index.html",
        "pellimor://player",
        "pellimor://player/index.htm",
        "pellimor://player/flash-initial-properties.bin",
        "pellimor://player/cache",
        "pellimor://player/cache?url=",
        "pellimor://player/file?url=%2Fa.swf",
        "pellimor://player/cache?url=%zz",
        "pellimor://player/cache?url=%4",
        "pellimor://player/index%2",
        // Events: only with the page's key and a name the window knows.
        "pellimor://player/event?name=ready",
        "pellimor://player/event?name=frame&load=2",
        "pellimor://player/event?key=&name=frame",
        "pellimor://player/event?key=3f9a0c1d2e4b5a6978c0d1e2f3a4b5c7&name=frame",
        "pellimor://player/event?key=3f9a0c1d2e4b5a6978c0d1e2f3a4b5c&name=frame",
        "pellimor://player/event?key=3f9a0c1d2e4b5a6978c0d1e2f3a4b5c6",
        kEventWithKey,
        kEventWithKey + "open",
        kEventWithKey + "Ready",
        kEventWithKey + "frame%20",
        kEventWithKey + "key",
    };
    for (const std::string& url : refused) {
        EXPECT_EQ(ParsePlayerRequest(url, kKey).kind, Kind::kNotFound) << url;
    }
    // Before the page has a key, no event at all.
    for (const char* url :
         {"pellimor://player/event?key=&name=ready", "pellimor://player/event?name=ready"}) {
        EXPECT_EQ(ParsePlayerRequest(url, "").kind, Kind::kNotFound) << url;
    }
}

TEST(PlayerRequest, AnEventCarriesItsFieldsDecodedWithoutTheKey) {
    const PlayerRequest request = ParsePlayerRequest(
        kEventWithKey + "missing&load=3&url=http%3A%2F%2Fa.example%2Fl%201.swf%3Fq%3D%2541#ignored",
        kKey);
    ASSERT_EQ(request.kind, Kind::kEvent);
    EXPECT_EQ(request.name, "missing");
    const std::vector<std::pair<std::string, std::string>> expected{
        {"name", "missing"}, {"load", "3"}, {"url", "http://a.example/l 1.swf?q=%41"}};
    EXPECT_EQ(request.fields, expected);
}

}  // namespace
}  // namespace pellimor
