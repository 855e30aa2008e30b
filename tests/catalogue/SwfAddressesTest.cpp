#include "catalogue/SwfAddresses.h"

#include <gtest/gtest.h>

namespace pellimor {
namespace {

TEST(SwfAddressesTest, StringsThatNameWhatAMovieLoads) {
    struct Case {
        const char* text;
        bool address;
        bool host;
    } cases[] = {
        {"levels/level1.swf", true, false},
        {"../shared/sounds.MP3", true, false},
        {"config.xml?lang=en#top", true, false},
        {"/highscores/submit.php", true, false},
        {"http://www.example.com/", true, false},
        {"HTTPS://cdn.example.net/a/b", true, false},
        {"http://fpdownload.macromedia.com/pub/x.swf?", true, false},
        {"data.json", true, false},
        {"game.swf", true, false},
        {"www.miniclip.com", false, true},
        {".miniclip.com", false, true},
        {"games.arcade.example", false, true},
        {"localhost", false, true},
        {"LocalHost", false, true},
        // Neither: code, patterns, packages, other schemes, broken names.
        {".swf", false, false},
        {"*.xml", false, false},
        {"flash.net", false, false},
        {"flash.xml", false, false},
        {"mx.core", false, false},
        {"com.adobe.serialization.json", false, false},
        {"http://adobe.com/AS3/2006/builtin", false, false},
        {"http://www.adobe.com/2006/flex/mx/internal", false, false},
        {"http://www.adobe.com/go/getflash.html", true, false},
        {"rtmp://media.example.com/live.flv", false, false},
        {"javascript:alert('x.swf')", false, false},
        {"http://", false, false},
        {"http:///x.swf", false, false},
        {"my level.swf", false, false},
        {"level\n1.swf", false, false},
        {"level\\1.swf", false, false},
        {"readme", false, false},
        {"this.is", false, false},  // member access, not Iceland
        {"obj.id", false, false},
        {"org.osmf.media", false, false},
        {"-bad-.example.com", false, false},
        {"a..example.com", false, false},
        {"example.com.", false, false},
        {"sound.mp3", true, false},
        {"", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LooksLikeLoadAddress(c.text), c.address) << c.text;
        EXPECT_EQ(LooksLikeHostName(c.text), c.host) << c.text;
    }
    EXPECT_FALSE(LooksLikeLoadAddress(std::string(2043, 'a') + "/x.swf"));
    EXPECT_TRUE(LooksLikeLoadAddress(std::string(2042, 'a') + "/x.swf"));
    EXPECT_FALSE(LooksLikeHostName(std::string(64, 'a') + ".com"));
    EXPECT_TRUE(LooksLikeHostName(std::string(63, 'a') + ".com"));
    EXPECT_FALSE(LooksLikeLoadAddress(std::string("x\0.swf", 6)));
}

}  // namespace
}  // namespace pellimor
