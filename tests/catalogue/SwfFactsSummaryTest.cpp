// The tooltip's few lines of a movie's facts: compression, script, stage, and whether the
// cached copy is whole.
#include <gtest/gtest.h>

#include "catalogue/SwfFactsSummary.h"

namespace pellimor {
namespace {

SwfFacts Movie(const char* signature, bool as3) {
    SwfFacts facts;
    facts.signature = signature;
    facts.version = 9;
    facts.declaredLength = 5000;
    facts.presentLength = 5000;
    facts.stageWidthTwips = 550 * 20;
    facts.stageHeightTwips = 400 * 20;
    facts.frameRate88 = 24 * 256;
    facts.frameCount = 12;
    facts.fileAttributes = SwfFileAttributes{as3 ? 8u : 0u, as3, false, false};
    facts.census.doAction = as3 ? 0 : 2;
    facts.reachedEnd = true;
    return facts;
}

TEST(SwfFactsSummaryTest, SaysWhatARescuerLooksAtFirst) {
    SwfFacts cut = Movie("FWS", false);
    cut.truncated = true;
    cut.presentLength = 1234;
    cut.stoppedAt = "tag 7 at byte 1230: its length runs past the end";
    SwfFacts loads = Movie("ZWS", true);
    loads.addresses = {"levels/level1.swf", "sounds.xml"};
    SwfFacts none;
    const struct {
        const char* what;
        SwfFacts facts;
        std::string text;
    } cases[] = {
        {"a whole AS3 movie", Movie("CWS", true),
         "SWF 9, zlib-compressed (CWS), ActionScript 3\n550 × 400 px, 24 fps, 12 frames\ncomplete"},
        {"a movie cut short", cut,
         "SWF 9, uncompressed (FWS), ActionScript 1/2\n550 × 400 px, 24 fps, 12 frames\n"
         "cut short: 1234 of 5000 bytes"},
        {"a movie that loads others", loads,
         "SWF 9, LZMA-compressed (ZWS), ActionScript 3\n550 × 400 px, 24 fps, 12 frames\n"
         "complete\nloads 2 files"},
        {"no movie", none, "not a SWF movie"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FactsSummary(c.facts), c.text) << c.what;
    }
}

}  // namespace
}  // namespace pellimor
