#include <gtest/gtest.h>

#include "app/SwfMaker.h"
#include "ground/ByteReader.h"

namespace pellimor {
namespace {

TEST(MakeSwfMovie, WritesAWellFormedMovie) {
    const struct {
        std::string loads;
        bool asLevel;
        std::string parameter;
    } designs[] = {{"", false, ""},
                   {"levels/level1.swf", false, ""},
                   {"", true, ""},
                   {"levels/level1.swf", false, "level"}};
    for (const auto& [loads, asLevel, parameter] : designs) {
        MovieDesign design;
        design.label = "example.com";
        design.frames = 30;
        design.loadMovie = loads;
        design.asLevel = asLevel;
        design.loadParameter = parameter;
        const std::string swf = MakeSwfMovie(design);
        const ByteReader r(
            std::span(reinterpret_cast<const std::uint8_t*>(swf.data()), swf.size()));
        ASSERT_EQ(swf.substr(0, 3), "FWS");
        EXPECT_EQ(*r.U32(4), swf.size());
        const int rectBits = static_cast<unsigned char>(swf[8]) >> 3;
        std::size_t at = 8 + (5 + 4 * rectBits + 7) / 8;
        EXPECT_EQ(*r.U16(at), 24u << 8);  // 24 frames a second
        EXPECT_EQ(*r.U16(at + 2), 30u);
        at += 4;
        int frames = 0;
        bool ended = false;
        std::vector<int> codes;
        while (at < swf.size()) {
            const std::uint16_t header = *r.U16(at);
            std::size_t length = header & 0x3F;
            at += 2;
            if (length == 0x3F) {
                length = *r.U32(at);
                at += 4;
            }
            codes.push_back(header >> 6);
            frames += (header >> 6) == 1;
            ASSERT_LE(at + length, swf.size());
            at += length;
            if ((header >> 6) == 0) {
                ended = true;
                break;
            }
        }
        EXPECT_TRUE(ended);
        EXPECT_EQ(at, swf.size());
        EXPECT_EQ(frames, 30);
        EXPECT_EQ(codes[0], 9);  // the background colour first
        EXPECT_EQ(std::count(codes.begin(), codes.end(), 12), loads.empty() ? 0 : 1);
        EXPECT_NE(swf.find("example.com"), std::string::npos);
        // A level stands still: one placement per frame for a movie that moves, none after
        // the first for a level.
        const auto places = std::count(codes.begin(), codes.end(), 26);
        EXPECT_EQ(places, asLevel ? 2 : 3 + 29 + (parameter.empty() ? 0 : 1));
        // The line that shows the parameter: a second text field, bound to its variable.
        EXPECT_EQ(std::count(codes.begin(), codes.end(), 37), parameter.empty() ? 1 : 2);
        if (!loads.empty()) {
            // Loaded once however often frame 1 comes round: the flag is tested first.
            const std::size_t action = swf.find(loads);
            ASSERT_NE(action, std::string::npos);
            EXPECT_NE(swf.rfind("loaded", action), std::string::npos);
            EXPECT_NE(swf.find("_level1", action), std::string::npos);
            // GetURL with the address written in, or GetURL2 with the parameter's value.
            const std::string getUrl2 = std::string("\x9A\x01\x00\x00", 4);
            EXPECT_EQ(swf.find(getUrl2, action) != std::string::npos, !parameter.empty());
            if (!parameter.empty()) {
                EXPECT_NE(swf.find(std::string("\x00level\x00", 7)), std::string::npos);
            }
        }
    }
}

}  // namespace
}  // namespace pellimor
