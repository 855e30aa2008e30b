#include "catalogue/SwfFacts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <vector>

#include "catalogue/SwfBuilder.h"
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
    std::vector<std::string> lines;
    const auto add = [&](const std::string& key, const std::string& value) {
        lines.push_back(key + " " + value);
    };
    const auto number = [&](const std::string& key, std::uint64_t value) {
        add(key, std::to_string(value));
    };
    add("signature", f.signature);
    if (f.version)
        number("version", *f.version);
    if (f.declaredLength)
        number("declaredLength", *f.declaredLength);
    if (f.stageWidthTwips)
        number("stageWidthTwips", static_cast<std::uint64_t>(*f.stageWidthTwips));
    if (f.stageHeightTwips)
        number("stageHeightTwips", static_cast<std::uint64_t>(*f.stageHeightTwips));
    if (f.frameRate88)
        number("frameRate88", *f.frameRate88);
    if (f.frameCount)
        number("frameCount", *f.frameCount);
    if (f.background)
        number("background", *f.background);
    if (f.fileAttributes) {
        number("fileAttributes.actionScript3", f.fileAttributes->actionScript3);
        number("fileAttributes.useNetwork", f.fileAttributes->useNetwork);
        number("fileAttributes.hasMetadata", f.fileAttributes->hasMetadata);
    }
    const SwfTagCensus& c = f.census;
    number("census.tags", c.tags);
    number("census.doAction", c.doAction);
    number("census.doInitAction", c.doInitAction);
    number("census.doAbc", c.doAbc);
    number("census.defineBinaryData", c.defineBinaryData);
    number("census.importAssets", c.importAssets);
    number("census.metadata", c.metadata);
    number("census.productInfo", c.productInfo);
    if (f.metadata)
        add("metadata", Escaped(*f.metadata));
    if (f.productInfo) {
        number("productInfo.product", f.productInfo->product);
        number("productInfo.edition", f.productInfo->edition);
        number("productInfo.major", f.productInfo->major);
        number("productInfo.minor", f.productInfo->minor);
        number("productInfo.build", f.productInfo->build);
        number("productInfo.compiledAtMs", f.productInfo->compiledAtMs);
    }
    for (const std::string& a : f.addresses)
        add("addresse", a);
    for (const std::string& h : f.hostNames)
        add("hostName", h);
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
            EXPECT_NE(f.stoppedAt, "");
            EXPECT_EQ(f.signature, cut >= 3 ? full.signature : "");
            if (cut < 8) {
                EXPECT_FALSE(f.declaredLength.has_value());
                continue;
            }
            EXPECT_EQ(f.version, full.version);
            EXPECT_EQ(f.declaredLength, full.declaredLength);
            EXPECT_TRUE(f.truncated);
            EXPECT_GE(f.presentLength, lastPresent);
            EXPECT_LT(f.presentLength, *full.declaredLength);
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

// A movie made by hand, each wrong in its own way, and what reading it must give: where
// and why the walk and the scripts stopped, what it loads, and the lines of FactLines (or
// presentLength and truncated) under each key named.
struct HandMade {
    const char* what;
    std::string bytes;
    std::string stopped;         // a part of stoppedAt; "" when the End tag is reached
    std::string scriptsStopped;  // a part of scriptsStoppedAt; "" when every script was read
    std::vector<std::string> addresses;
    std::vector<std::string> facts;
    bool alsoCompressed = false;  // zlib-compressed, the movie gives the same
    std::uint64_t limit = kSwfDecodeLimit;
};

bool Says(const std::string& text, const std::string& part) {
    return part.empty() ? text.empty() : text.find(part) != std::string::npos;
}

void ExpectFacts(const HandMade& row, std::string_view bytes) {
    const SwfFacts f = Read(bytes, row.limit);
    EXPECT_EQ(f.reachedEnd, row.stopped.empty());
    EXPECT_TRUE(Says(f.stoppedAt, row.stopped)) << f.stoppedAt;
    EXPECT_TRUE(Says(f.scriptsStoppedAt, row.scriptsStopped)) << f.scriptsStoppedAt;
    EXPECT_EQ(f.addresses, row.addresses);
    std::vector<std::string> lines = FactLines(f);
    lines.push_back("presentLength " + std::to_string(f.presentLength));
    lines.push_back("truncated " + std::to_string(f.truncated));
    std::set<std::string> keys;
    for (const std::string& line : row.facts) {
        keys.insert(line.substr(0, line.find(' ')));
    }
    std::vector<std::string> named;
    for (const std::string& line : lines) {
        if (keys.contains(line.substr(0, line.find(' ')))) {
            named.push_back(line);
        }
    }
    std::vector<std::string> expected = row.facts;
    std::sort(named.begin(), named.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(named, expected);
}

TEST(SwfFactsTest, HandMadeMoviesStopWhereTheySayAndKeepWhatCameBefore) {
    using test::AbcWithStrings;
    using test::Action;
    using test::Fws;
    using test::U30;
    // Tags claiming more than there is stop the walk there.
    const std::string before =
        SwfTag(9, "\x0A\x0B\x0C") + SwfTag(12, PushStrings({"a.swf"}) + '\0');
    const std::vector<std::string> a{"a.swf"};
    const std::vector<std::string> beforeFacts{"background 658188", "census.tags 2", "truncated 0"};
    // Scripts that stop making sense: the tags after them are still read.
    const auto thenTags = [](const std::string& tag) {
        return Fws(tag + SwfTag(9, "\x01\x01\x01"));
    };
    const std::vector<std::string> one{"one.swf"};
    const std::vector<std::string> after{"background 65793"};
    // A jump back onto itself and a branch back to the start: a player would loop here; the
    // records are walked forward once.
    const std::string jumpBack = Action(0x99, Le16(static_cast<std::uint16_t>(-5)));
    const std::string ifBack = Action(0x9D, Le16(static_cast<std::uint16_t>(-40)));
    const std::string actions = ConstantPool({"config.xml", "games.example.com"}) + jumpBack +
                                PushStrings({"sounds/boom.mp3"}) + ifBack +
                                Action(0x83, Z("http://cdn.example.net/intro.swf") + Z("_level0")) +
                                '\0' + PushStrings({"after-end.swf"});
    const std::string init = Le16(7) + PushStrings({"init/part.swf"}) + '\0';
    // Each kind of tag counted; a sprite looked into, the sprite in it not.
    const std::string abc = AbcWithStrings({"levels/2.swf", "flash.net", "localhost"});
    const std::string deeper = SwfTag(12, PushStrings({"deeper.swf"}) + '\0');
    const std::string sprite =
        SwfTag(39, Le16(8) + Le16(1) + SwfTag(12, PushStrings({"in-sprite.swf"}) + '\0') +
                       SwfTag(39, Le16(9) + Le16(1) + deeper + SwfTag(0, "")) + SwfTag(1, "") +
                       SwfTag(0, ""));
    const std::string product =
        Le32(3) + Le32(6) + "\x04\x06" + Le32(23201) + Le32(0) + Le32(0x5A6B7C8D) + Le32(0x158);
    const std::string everyKind =
        SwfTag(69, Le32(0x19)) + SwfTag(77, "<rdf>title</rdf>") + SwfTag(41, product) +
        SwfTag(82, Le32(1) + Z("frame1") + abc) + SwfTag(72, abc) + SwfTag(87, Le16(1) + Le32(0)) +
        SwfTag(57, Z("shared/library.swf") + Le16(0)) +
        SwfTag(71, Z("http://assets.example.org/fonts.swf") + "\x01\x00" + Le16(0)) + sprite;
    // A real header, then a tag of 8 MB: the stream inflates to 8 MB, the header claims 4
    // GB.
    const std::string fws = Fws(SwfTag(9, "\x01\x02\x03"));
    const std::string cws = "CWS\x0A" + Le32(0xFFFFFFFF) +
                            test::Deflated(fws.substr(8, fws.size() - 10) +
                                           SwfTag(87, std::string(8 << 20, '\0')) + SwfTag(0, ""));
    // A stream longer than its header says: read as far as the declared length.
    const std::string longer = "CWS\x0A" + Le32(static_cast<std::uint32_t>(fws.size() - 2)) +
                               test::Deflated(fws.substr(8) + std::string(5000, 'x'));
    // Damaged zlib data: a stored block with the movie's start (no End), then a block of a
    // type that does not exist.
    const std::string start = fws.substr(8, 18);
    const auto n = static_cast<std::uint32_t>(start.size());
    const std::string damaged =
        "CWS\x0A" + Le32(1000) + "\x78\x01" + '\0' + Le16(n) + Le16(~n & 0xFFFF) + start + "\x07";
    const std::vector<std::string> noSignature{"signature ", "truncated 0"};
    const HandMade rows[] = {
        {"a DoAction claiming 4 GB", Fws(before + SwfTag(12, "", true, 0xFFFFFFF0)),
         "DoAction claims 4294967280 bytes", "", a, beforeFacts, true},
        {"a DoABC claiming 2 GB", Fws(before + SwfTag(82, "\x01\x00", true, 0x7FFFFFFF)),
         "DoABC claims 2147483647 bytes", "", a, beforeFacts, true},
        {"a sprite longer than the movie", Fws(before + SwfTag(39, Le16(1) + Le16(1), false, 62)),
         "DefineSprite claims 62 bytes", "", a, beforeFacts, true},
        {"a tag cut in its header", Fws(before + std::string("\x3F\x03\x01", 3)),
         "DoAction is cut in its header", "", a, beforeFacts, true},
        {"an action record longer than its tag",
         thenTags(SwfTag(12, PushStrings({"one.swf"}) + '\x96' + Le16(500))), "",
         "action record claims more bytes", one, after},
        {"a pool of 65535 strings holding one",
         thenTags(SwfTag(12, Action(0x88, Le16(65535) + Z("one.swf")))), "",
         "constant pool cut short", one, after},
        {"a push of a type that does not exist",
         thenTags(SwfTag(12, Action(0x96, '\0' + Z("one.swf") + "\x42"))), "", "unknown type 66",
         one, after},
        {"ABC strings cut short",
         thenTags(SwfTag(72, AbcWithStrings({"one.swf"}).substr(0, 9))),
         "",
         "ABC string 1 of 1 cut short",
         {},
         after},
        {"ABC doubles counting to 2^30",
         thenTags(
             SwfTag(72, Le16(16) + Le16(46) + U30(0) + U30(0) + U30((1U << 30) - 1) + "12345678")),
         "",
         "ABC double pool cut short",
         {},
         after},
        {"ABC integers counting to 2^30",
         thenTags(SwfTag(82, Le32(1) + Z("frame") + Le16(16) + Le16(46) + U30(0x3FFFFFFF))),
         "",
         "ABC integer pool cut short",
         {},
         after},
        {"ABC strings counting to 2^30",
         thenTags(SwfTag(72, Le16(16) + Le16(46) + U30(0) + U30(0) + U30(0) + U30(0x3FFFFFFF) +
                                 U30(7) + "one.swf" + U30(99))),
         "", "ABC string 2 of 1073741822 cut short", one, after},
        {"jumps and branches back",
         Fws(SwfTag(12, actions) + SwfTag(59, init)),
         "",
         "",
         {"config.xml", "sounds/boom.mp3", "http://cdn.example.net/intro.swf", "init/part.swf"},
         {"hostName games.example.com", "census.doAction 1", "census.doInitAction 1"}},
        {"every kind of tag",
         Fws(everyKind),
         "",
         "",
         {"levels/2.swf", "shared/library.swf", "http://assets.example.org/fonts.swf",
          "in-sprite.swf"},
         {"census.tags 9", "census.doAction 1", "census.doInitAction 0", "census.doAbc 2",
          "census.defineBinaryData 1", "census.importAssets 2", "census.metadata 1",
          "census.productInfo 1", "fileAttributes.actionScript3 1", "fileAttributes.useNetwork 1",
          "fileAttributes.hasMetadata 1", "metadata <rdf>title</rdf>", "productInfo.product 3",
          "productInfo.edition 6", "productInfo.major 4", "productInfo.minor 6",
          "productInfo.build 23201", "productInfo.compiledAtMs 1478985743501",
          "hostName localhost"}},
        {"a zlib header claiming 4 GB",
         cws,
         "no more than 1048576 bytes are decompressed",
         "",
         {},
         // Not known to be cut: only the first megabyte was looked at.
         {"declaredLength 4294967295", "presentLength 1048584", "truncated 0", "background 66051"},
         false,
         1 << 20},
        {"a stream longer than its header",
         longer,
         "ends before its End tag",
         "",
         {},
         {"presentLength " + std::to_string(fws.size() - 2), "truncated 0", "background 66051"},
         false,
         1 << 20},
        {"a zlib header and nothing to inflate",
         cws.substr(0, 20),
         "bytes before its declared",
         "",
         {},
         {"presentLength 8", "truncated 1"}},
        {"damaged zlib data", damaged, "damaged", "", {}, {"background 66051"}},
        {"a header and no stage",
         std::string("FWS\x0A") + Le32(8),
         "stage size",
         "",
         {},
         {"truncated 0"}},
        {"nothing", "", "no SWF signature", "", {}, noSignature},
        {"a GIF",
         std::string("GIF89a\x01\x00\x01\x00", 10),
         "no SWF signature",
         "",
         {},
         noSignature},
        {"a lower-case signature", "fws\x0A", "no SWF signature", "", {}, noSignature},
        {"two bytes", "FW", "no SWF signature", "", {}, noSignature},
        {"4 KB of zeros", std::string(4096, '\0'), "no SWF signature", "", {}, noSignature},
    };
    for (const HandMade& row : rows) {
        SCOPED_TRACE(row.what);
        ExpectFacts(row, row.bytes);
        if (row.alsoCompressed) {
            ExpectFacts(row, test::Cws(row.bytes));
        }
    }
}

}  // namespace
}  // namespace pellimor
