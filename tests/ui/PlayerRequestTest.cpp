// What the preview page's scheme answers, read off the address alone: every part of the page
// by its address, and nothing for an address that reaches out of Ruffle's folder or tells an
// event without the page's key.
#include <gtest/gtest.h>

#include "ui/player/PlayerRequest.h"

namespace pellimor {
namespace {

constexpr std::string_view kKey = "3f9a0c1d2e4b5a6978c0d1e2f3a4b5c6";

using Kind = PlayerRequestKind;

struct Case {
    const char* url;
    Kind kind;
    const char* name;
    const char* value;
};

void PrintTo(const Case& c, std::ostream* out) {
    *out << c.url;
}

class PlayerRequestTest : public ::testing::TestWithParam<Case> {};

TEST_P(PlayerRequestTest, ReadsWhatIsAsked) {
    const Case& c = GetParam();
    const PlayerRequest request = ParsePlayerRequest(c.url, kKey);
    EXPECT_EQ(request.kind, c.kind) << c.url;
    EXPECT_EQ(request.name, c.name) << c.url;
    EXPECT_EQ(request.value, c.value) << c.url;
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, PlayerRequestTest,
    ::testing::Values(
        Case{"pellimor://player/", Kind::kPageFile, "index.html", ""},
        Case{"pellimor://player/index.html", Kind::kPageFile, "index.html", ""},
        Case{"pellimor://player/player.js", Kind::kPageFile, "player.js", ""},
        Case{"pellimor://player/options.js", Kind::kOptions, "", ""},
        Case{"pellimor://player/ruffle/ruffle.js", Kind::kRuffleFile, "ruffle.js", ""},
        Case{"pellimor://player/ruffle/72a20ef1c0b8ceb37720.wasm", Kind::kRuffleFile,
             "72a20ef1c0b8ceb37720.wasm", ""},
        Case{"pellimor://player/cache?url=http%3A%2F%2Fa.example%2Fx.swf%3Fa%3D1%2B2", Kind::kCache,
             "", "http://a.example/x.swf?a=1+2"},
        Case{"pellimor://player/file?path=%2Fhome%2Fu%2Fm%20%5B1%5D.swf", Kind::kFile, "",
             "/home/u/m [1].swf"},
        // The first of two values, as a query reader gives it.
        Case{"pellimor://player/file?path=%2Fa.swf&path=%2Fb.swf", Kind::kFile, "", "/a.swf"},
        // Out of Ruffle's folder, hidden files, separators however spelt.
        Case{"pellimor://player/ruffle/", Kind::kNotFound, "", ""},
        Case{"pellimor://player/ruffle/../index.html", Kind::kNotFound, "", ""},
        Case{"pellimor://player/ruffle/%2E%2E%2Fetc%2Fpasswd", Kind::kNotFound, "", ""},
        Case{"pellimor://player/ruffle/a%2Fb.js", Kind::kNotFound, "", ""},
        Case{"pellimor://player/ruffle/a%5Cb.js", Kind::kNotFound, "", ""},
        Case{"pellimor://player/ruffle/.hidden", Kind::kNotFound, "", ""},
        Case{"pellimor://player/ruffle/a..js", Kind::kNotFound, "", ""},
        Case{"pellimor://player/ruffle/ruffle.js%00.txt", Kind::kNotFound, "", ""},
        Case{"pellimor://player/ruffle/sub/ruffle.js", Kind::kNotFound, "", ""},
        // Not the page's host, scheme or parts.
        Case{"pellimor://other/index.html", Kind::kNotFound, "", ""},
        Case{"pellimor://player.evil/index.html", Kind::kNotFound, "", ""},
        Case{"pellimor://user@player/index.html", Kind::kNotFound, "", ""},
        Case{"pellimor://player:80/index.html", Kind::kNotFound, "", ""},
        Case{"http://player/index.html", Kind::kNotFound, "", ""},
        Case{"pellimor://player", Kind::kNotFound, "", ""},
        Case{"pellimor://player/index.htm", Kind::kNotFound, "", ""},
        Case{"pellimor://player/flash-initial-properties.bin", Kind::kNotFound, "", ""},
        Case{"pellimor://player/cache", Kind::kNotFound, "", ""},
        Case{"pellimor://player/cache?url=", Kind::kNotFound, "", ""},
        Case{"pellimor://player/file?url=%2Fa.swf", Kind::kNotFound, "", ""},
        Case{"pellimor://player/cache?url=%zz", Kind::kNotFound, "", ""},
        Case{"pellimor://player/cache?url=%4", Kind::kNotFound, "", ""},
        Case{"pellimor://player/index%2", Kind::kNotFound, "", ""},
        // Events: only with the page's key and a name the window knows.
        Case{"pellimor://player/event?name=ready", Kind::kNotFound, "", ""},
        Case{"pellimor://player/event?name=frame&load=2", Kind::kNotFound, "", ""},
        Case{"pellimor://player/event?key=&name=frame", Kind::kNotFound, "", ""},
        Case{"pellimor://player/event?key=3f9a0c1d2e4b5a6978c0d1e2f3a4b5c7&name=frame",
             Kind::kNotFound, "", ""},
        Case{"pellimor://player/event?key=3f9a0c1d2e4b5a6978c0d1e2f3a4b5c&name=frame",
             Kind::kNotFound, "", ""},
        Case{"pellimor://player/event?key=3f9a0c1d2e4b5a6978c0d1e2f3a4b5c6&name=open",
             Kind::kNotFound, "", ""},
        Case{"pellimor://player/event?key=3f9a0c1d2e4b5a6978c0d1e2f3a4b5c6", Kind::kNotFound, "",
             ""},
        Case{"pellimor://player/event?key=3f9a0c1d2e4b5a6978c0d1e2f3a4b5c6&name=frame",
             Kind::kEvent, "frame", ""},
        Case{"pellimor://player/event?name=ready&key=3f9a0c1d2e4b5a6978c0d1e2f3a4b5c6",
             Kind::kEvent, "ready", ""}));

TEST(PlayerRequest, AnEventCarriesItsFieldsDecodedWithoutTheKey) {
    const PlayerRequest request = ParsePlayerRequest(
        "pellimor://player/event?key=3f9a0c1d2e4b5a6978c0d1e2f3a4b5c6&name=missing&load=3&"
        "url=http%3A%2F%2Fa.example%2Fl%201.swf%3Fq%3D%2541#ignored",
        kKey);
    ASSERT_EQ(request.kind, Kind::kEvent);
    EXPECT_EQ(request.name, "missing");
    const std::vector<std::pair<std::string, std::string>> expected{
        {"name", "missing"}, {"load", "3"}, {"url", "http://a.example/l 1.swf?q=%41"}};
    EXPECT_EQ(request.fields, expected);
}

TEST(PlayerRequest, NoEventBeforeThePageHasAKey) {
    EXPECT_EQ(ParsePlayerRequest("pellimor://player/event?key=&name=ready", "").kind,
              Kind::kNotFound);
    EXPECT_EQ(ParsePlayerRequest("pellimor://player/event?name=ready", "").kind, Kind::kNotFound);
}

TEST(PlayerRequest, EveryEventTheWindowUsesIsKnown) {
    for (const char* name : {"ready", "metadata", "frame", "missing", "failed"}) {
        EXPECT_TRUE(IsPageEventName(name)) << name;
    }
    for (const char* name : {"", "Ready", "frame ", "key"}) {
        EXPECT_FALSE(IsPageEventName(name)) << name;
    }
}

}  // namespace
}  // namespace pellimor
