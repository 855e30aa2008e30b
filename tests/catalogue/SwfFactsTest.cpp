#include "catalogue/SwfFacts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "catalogue/SwfAddresses.h"
#include "catalogue/SwfBuilder.h"
#include "catalogue/SwfFactsSummary.h"
#include "platform/compression/SwfDecompressor.h"
#include "support/TempFolder.h"

namespace pellimor {
namespace {

using test::ConstantPool;
using test::Le16;
using test::Le32;
using test::PushStrings;
using test::SwfTag;
using test::Z;

const std::string kData = std::string(PELLIMOR_TEST_DATA) + "/swf/";

SwfFacts Read(std::string_view bytes, std::uint64_t limit = kSwfDecodeLimit) {
    SwfDecompressor decompressor;
    return ReadSwfFacts(bytes, decompressor, limit);
}

std::string Escaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        out += c == '\\'   ? "\\\\"
               : c == '\n' ? "\\n"
               : c == '\r' ? "\\r"
               : c == '\t' ? "\\t"
                           : std::string(1, c);
    }
    return out;
}

// The facts in the lines make-expected.py writes: "KEY VALUE", absent facts left out.
std::vector<std::string> FactLines(const SwfFacts& f) {
    std::vector<std::string> lines{"signature " + f.signature};
    const auto add = [&](const std::string& key, const auto& value) {
        if constexpr (requires { value.has_value(); }) {
            if (value) {
                lines.push_back(key + " " + std::to_string(*value));
            }
        } else {
            lines.push_back(key + " " + std::to_string(value));
        }
    };
    add("version", f.version);
    add("declaredLength", f.declaredLength);
    add("stageWidthTwips", f.stageWidthTwips);
    add("stageHeightTwips", f.stageHeightTwips);
    add("frameRate88", f.frameRate88);
    add("frameCount", f.frameCount);
    add("background", f.background);
    if (const auto& a = f.fileAttributes) {
        add("fileAttributes.actionScript3", a->actionScript3);
        add("fileAttributes.useNetwork", a->useNetwork);
        add("fileAttributes.hasMetadata", a->hasMetadata);
    }
    const SwfTagCensus& c = f.census;
    for (const auto& [key, count] : {std::pair{"tags", c.tags},
                                     {"doAction", c.doAction},
                                     {"doInitAction", c.doInitAction},
                                     {"doAbc", c.doAbc},
                                     {"defineBinaryData", c.defineBinaryData},
                                     {"importAssets", c.importAssets},
                                     {"metadata", c.metadata},
                                     {"productInfo", c.productInfo}}) {
        add(std::string("census.") + key, count);
    }
    if (f.metadata) {
        lines.push_back("metadata " + Escaped(*f.metadata));
    }
    if (const auto& p = f.productInfo) {
        add("productInfo.product", p->product);
        add("productInfo.edition", p->edition);
        add("productInfo.major", p->major);
        add("productInfo.minor", p->minor);
        add("productInfo.build", p->build);
        add("productInfo.compiledAtMs", p->compiledAtMs);
    }
    for (const std::string& a : f.addresses) {
        lines.push_back("addresse " + a);
    }
    for (const std::string& h : f.hostNames) {
        lines.push_back("hostName " + h);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::map<std::string, std::vector<std::string>> ExpectedFacts() {
    std::map<std::string, std::vector<std::string>> byFile;
    std::ifstream in(kData + "expected-facts.txt");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        const std::size_t space = line.find(' ');
        byFile[line.substr(0, space)].push_back(line.substr(space + 1));
    }
    for (auto& [file, lines] : byFile) {
        std::sort(lines.begin(), lines.end());
    }
    return byFile;
}

TEST(SwfFactsTest, RealMoviesHaveTheFactsAnIndependentReaderFinds) {
    const auto expected = ExpectedFacts();
    ASSERT_GE(expected.size(), 9U);  // seven real movies, one made FWS, one made ZWS
    std::map<std::string, int> signatures;
    for (const auto& [file, lines] : expected) {
        SCOPED_TRACE(file);
        const std::string bytes = test::ReadFile(kData + file);
        const SwfFacts facts = Read(bytes);
        EXPECT_EQ(FactLines(facts), lines);
        EXPECT_TRUE(facts.reachedEnd);
        EXPECT_EQ(facts.stoppedAt, "");
        EXPECT_EQ(facts.scriptsStoppedAt, "");
        EXPECT_FALSE(facts.truncated);
        EXPECT_EQ(facts.presentLength, facts.declaredLength.value_or(0));
        ++signatures[facts.signature];
    }
    EXPECT_GE(signatures["CWS"], 5);
    EXPECT_GE(signatures["FWS"], 1);
    EXPECT_GE(signatures["ZWS"], 1);
}

// Every cut of a real movie: the facts of the part that is there, never more, and where
// and why reading stopped.
TEST(SwfFactsTest, CutMoviesGiveTheirFactsAsFarAsTheyGo) {
    for (const char* name : {"soundmanager2-fws.swf", "soundmanager2.swf",
                             "soundmanager2_flash9-zws.swf", "expressInstall.swf"}) {
        const std::string whole = test::ReadFile(kData + name);
        const SwfFacts full = Read(whole);
        ASSERT_TRUE(full.reachedEnd) << name;
        std::uint64_t lastPresent = 0;
        for (std::size_t cut = 0; cut < whole.size();
             cut += cut < 64 || cut > whole.size() - 64 ? 1 : 37) {
            SCOPED_TRACE(std::string(name) + " cut at " + std::to_string(cut));
            const SwfFacts f = Read(std::string_view(whole).substr(0, cut));
            if (cut >= 8 && f.presentLength == full.presentLength) {
                // Only the stream's trailer is cut (an empty flush block and zlib's checksum,
                // LZMA's end marker, which the size in the header makes needless): the movie is all
                // there.
                EXPECT_GT(cut, whole.size() - 16);
                EXPECT_TRUE(f.reachedEnd);
                EXPECT_FALSE(f.truncated);
                continue;
            }
            EXPECT_FALSE(f.reachedEnd);
            EXPECT_EQ(f.signature, cut >= 3 ? full.signature : "");
            if (cut < 8) {
                EXPECT_FALSE(f.declaredLength.has_value());
                continue;
            }
            EXPECT_EQ(f.version, full.version);
            EXPECT_EQ(f.declaredLength, full.declaredLength);
            EXPECT_TRUE(f.truncated);
            EXPECT_GE(f.presentLength, lastPresent);
            EXPECT_EQ(f.MissingBytes(), *full.declaredLength - f.presentLength);
            if (full.signature == "FWS") {
                EXPECT_EQ(f.presentLength, cut);
            }
            EXPECT_NE(f.stoppedAt.find("bytes before its declared length"), std::string::npos)
                << f.stoppedAt;
            lastPresent = f.presentLength;
            // What was read is what the whole movie says; nothing is made up.
            if (f.frameCount) {
                EXPECT_EQ(f.stageWidthTwips, full.stageWidthTwips);
                EXPECT_EQ(f.frameRate88, full.frameRate88);
                EXPECT_EQ(f.frameCount, full.frameCount);
            }
            EXPECT_LE(f.census.tags, full.census.tags);
            for (const std::string& a : f.addresses) {
                EXPECT_NE(std::find(full.addresses.begin(), full.addresses.end(), a),
                          full.addresses.end());
            }
        }
        // Once enough is there, the header's facts are all known.
        const SwfFacts half = Read(std::string_view(whole).substr(0, whole.size() / 2));
        EXPECT_EQ(half.frameCount, full.frameCount) << name;
    }
}

TEST(SwfFactsTest, ACompressedHeaderClaimingFourGigabytesDecodesOnlyToTheLimit) {
    // A real header, then a tag of 8 MB: the stream inflates to 8 MB, the header claims 4 GB.
    const std::string fws = test::Fws(SwfTag(9, "\x01\x02\x03"));
    const std::string body =
        fws.substr(8, fws.size() - 10) + SwfTag(87, std::string(8 << 20, '\0')) + SwfTag(0, "");
    const std::string cws = "CWS\x0A" + Le32(0xFFFFFFFF) + test::Deflated(body);
    const SwfFacts f = Read(cws, 1 << 20);
    EXPECT_EQ(f.declaredLength, 0xFFFFFFFFU);
    EXPECT_EQ(f.presentLength, 8U + (1U << 20));
    EXPECT_FALSE(f.truncated);  // not known: only the first megabyte was looked at
    EXPECT_EQ(f.background, 0x010203U);
    EXPECT_NE(f.stoppedAt.find("no more than 1048576 bytes are decompressed"), std::string::npos)
        << f.stoppedAt;
    // A stream longer than its header says: read as far as the declared length, which is
    // no decode limit and no damage.
    const std::string longer = "CWS\x0A" + Le32(static_cast<std::uint32_t>(fws.size() - 2)) +
                               test::Deflated(fws.substr(8) + std::string(5000, 'x'));
    const SwfFacts cutByHeader = Read(longer, 1 << 20);
    EXPECT_EQ(cutByHeader.presentLength, fws.size() - 2);
    EXPECT_FALSE(cutByHeader.truncated);
    EXPECT_EQ(cutByHeader.background, 0x010203U);
    EXPECT_NE(cutByHeader.stoppedAt.find("ends before its End tag"), std::string::npos)
        << cutByHeader.stoppedAt;
}

// A tag claiming more than there is stops the walk there; a script that stops making sense
// stops only the reading of scripts, and the tags after it are read. What came before is
// kept, in the movie as it is and zlib-compressed.
TEST(SwfFactsTest, TagsAndScriptsThatClaimTooMuchKeepWhatCameBefore) {
    const std::string before =
        SwfTag(9, "\x0A\x0B\x0C") + SwfTag(12, PushStrings({"a.swf"}) + '\0');
    const std::vector<std::string> a{"a.swf"}, one{"a.swf", "one.swf"};
    struct Case {
        std::string tag;
        bool walkStops;
        std::string said;
        std::vector<std::string> found;
    } cases[] = {
        {SwfTag(12, "", true, 0xFFFFFFF0), true, "DoAction claims 4294967280 bytes", a},
        {SwfTag(39, Le16(1) + Le16(1), false, 62), true, "DefineSprite claims 62 bytes", a},
        {std::string("\x3F\x03\x01", 3), true, "DoAction is cut in its header", a},
        // A record longer than its tag.
        {SwfTag(12, PushStrings({"one.swf"}) + '\x96' + Le16(500)), false,
         "action record claims more bytes", one},
        // A pool of 65535 strings holding one.
        {SwfTag(12, test::Action(0x88, Le16(65535) + Z("one.swf"))), false,
         "constant pool cut short", one},
        // A push of a type that does not exist.
        {SwfTag(12, test::Action(0x96, '\0' + Z("one.swf") + "\x42")), false, "unknown type 66",
         one},
        // ABC pools counting up to 2^30 entries in a few bytes.
        {SwfTag(72, test::AbcWithStrings({"one.swf"}).substr(0, 9)), false,
         "ABC string 1 of 1 cut short", a},
        {SwfTag(72, Le16(16) + Le16(46) + test::U30(0) + test::U30(0) + test::U30(0) +
                        test::U30(0x3FFFFFFF) + test::U30(7) + "one.swf" + test::U30(99)),
         false, "ABC string 2 of 1073741822 cut short", one},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.said);
        const std::string after = c.walkStops ? "" : SwfTag(9, "\x01\x01\x01");
        const std::string movie = test::Fws(before + c.tag + after);
        for (const std::string& bytes : {movie, test::Cws(movie)}) {
            const SwfFacts f = Read(bytes);
            EXPECT_EQ(f.reachedEnd, !c.walkStops);
            EXPECT_FALSE(f.truncated);
            EXPECT_NE((c.walkStops ? f.stoppedAt : f.scriptsStoppedAt).find(c.said),
                      std::string::npos)
                << f.stoppedAt << f.scriptsStoppedAt;
            EXPECT_EQ(f.census.tags, c.walkStops ? 2U : 4U);  // the tags after it are read
            EXPECT_EQ(f.addresses, c.found);
        }
    }
}

// Each kind of tag counted, a sprite looked into and the sprite in it not; action records
// walked forward once whatever their jumps say (a jump back onto itself and a branch back to
// the start: a player would loop here), and nothing after the End action.
TEST(SwfFactsTest, TheCensusCountsEachKindAndTheWalkGoesForwardOnce) {
    const std::string jumpBack = test::Action(0x99, Le16(static_cast<std::uint16_t>(-5)));
    const std::string ifBack = test::Action(0x9D, Le16(static_cast<std::uint16_t>(-40)));
    const std::string actions =
        ConstantPool({"config.xml", "games.example.com"}) + jumpBack +
        PushStrings({"sounds/boom.mp3"}) + ifBack +
        test::Action(0x83, Z("http://cdn.example.net/intro.swf") + Z("_level0")) + '\0' +
        PushStrings({"after-end.swf"});
    const std::string init = Le16(7) + PushStrings({"init/part.swf"}) + '\0';
    const std::string abc = test::AbcWithStrings({"levels/2.swf", "flash.net", "localhost"});
    const std::string doAction = SwfTag(12, PushStrings({"in-sprite.swf"}) + '\0');
    const std::string deeper = SwfTag(12, PushStrings({"deeper.swf"}) + '\0');
    const std::string innerSprite = SwfTag(39, Le16(9) + Le16(1) + deeper + SwfTag(0, ""));
    const std::string sprite =
        SwfTag(39, Le16(8) + Le16(1) + doAction + innerSprite + SwfTag(1, "") + SwfTag(0, ""));
    const std::string tags =
        SwfTag(12, actions) + SwfTag(59, init) + SwfTag(82, Le32(1) + Z("frame1") + abc) +
        SwfTag(72, abc) + SwfTag(87, Le16(1) + Le32(0)) +
        SwfTag(57, Z("shared/library.swf") + Le16(0)) +
        SwfTag(71, Z("http://assets.example.org/fonts.swf") + "\x01\x00" + Le16(0)) + sprite;
    const SwfFacts f = Read(test::Fws(tags));
    EXPECT_TRUE(f.reachedEnd);
    EXPECT_EQ(f.scriptsStoppedAt, "");
    SwfTagCensus expected;
    expected.tags = 8;
    expected.doAction = 2;  // the movie's and the sprite's, not the one in the sprite's sprite
    expected.doInitAction = 1;
    expected.doAbc = 2;
    expected.defineBinaryData = 1;
    expected.importAssets = 2;
    EXPECT_EQ(f.census, expected);
    EXPECT_EQ(f.addresses, (std::vector<std::string>{
                               "config.xml", "sounds/boom.mp3", "http://cdn.example.net/intro.swf",
                               "init/part.swf", "levels/2.swf", "shared/library.swf",
                               "http://assets.example.org/fonts.swf", "in-sprite.swf"}));
    EXPECT_EQ(f.hostNames, (std::vector<std::string>{"games.example.com", "localhost"}));
}

TEST(SwfFactsTest, BytesThatAreNoMovieSaySo) {
    for (const std::string& bytes :
         {std::string(), std::string("GIF89a\x01\x00\x01\x00", 10), std::string("fws\x0A"),
          std::string("FW"), std::string(4096, '\0')}) {
        const SwfFacts f = Read(bytes);
        EXPECT_EQ(f.signature, "");
        EXPECT_NE(f.stoppedAt.find("no SWF signature"), std::string::npos);
    }
    // A header and no more: the stage cannot be read.
    const SwfFacts bare = Read(std::string("FWS\x0A") + Le32(8));
    EXPECT_NE(bare.stoppedAt.find("stage size"), std::string::npos) << bare.stoppedAt;
    EXPECT_FALSE(bare.truncated);
    // Damaged zlib data: a stored block with the movie's start, then a block of a type that
    // does not exist. What came before the damage is read.
    const std::string start = test::Fws(SwfTag(9, "\x01\x02\x03")).substr(8, 18);  // no End
    const auto n = static_cast<std::uint32_t>(start.size());
    const std::string cws =
        "CWS\x0A" + Le32(1000) + "\x78\x01" + '\0' + Le16(n) + Le16(~n & 0xFFFF) + start + "\x07";
    const SwfFacts damaged = Read(cws);
    EXPECT_EQ(damaged.background, 0x010203U);
    EXPECT_NE(damaged.stoppedAt.find("damaged"), std::string::npos) << damaged.stoppedAt;
}

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
        {"mx.core", false, false},
        {"com.adobe.serialization.json", false, false},
        {"http://adobe.com/AS3/2006/builtin", false, false},
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
        {"-bad-.example.com", false, false},
        {"a..example.com", false, false},
        {"example.com.", false, false},
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

// The tooltip's few lines of a movie's facts: compression, script, stage, whether the cached
// copy is whole, and how many files it loads.
TEST(SwfFactsSummaryTest, SaysWhatARescuerLooksAtFirst) {
    const struct {
        const char* file;
        std::size_t cut;  // bytes kept; 0 for the whole file
        std::string text;
    } cases[] = {
        {"jquery.jplayer.swf", 0,
         "SWF 14, zlib-compressed (CWS), ActionScript 3\n500 × 375 px, 24 fps, 1 frames\ncomplete\n"
         "loads 2 files"},
        {"soundmanager2-fws.swf", 0,
         "SWF 8, uncompressed (FWS), ActionScript 1/2\n16 × 16 px, 30 fps, 1 frames\ncomplete"},
        {"soundmanager2-fws.swf", 3000,
         "SWF 8, uncompressed (FWS), no scripts\n16 × 16 px, 30 fps, 1 frames\n"
         "cut short: 3000 of 6754 bytes"},
        {"soundmanager2_flash9-zws.swf", 0,
         "SWF 14, LZMA-compressed (ZWS), ActionScript 3\n500 × 375 px, 24 fps, 1 frames\ncomplete"},
        {"expressInstall.swf", 0,
         "SWF 6, zlib-compressed (CWS), ActionScript 1/2\n310 × 130 px, 12 fps, 1 "
         "frames\ncomplete\n"
         "loads 1 file"},
        {"README.txt", 0, "not a SWF movie"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        std::string bytes = test::ReadFile(std::string(PELLIMOR_TEST_DATA) + "/swf/" + c.file);
        if (c.cut != 0) {
            bytes.resize(c.cut);
        }
        SwfDecompressor decompressor;
        EXPECT_EQ(FactsSummary(ReadSwfFacts(bytes, decompressor)), c.text);
    }
}

}  // namespace
}  // namespace pellimor
