// The save reader on saves made by hand: every kind of value of both AMF versions, and
// damaged or hostile files that must stop within bounds and say where; then on real saves
// against an independent reader.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "catalogue/SolFile.h"
#include "support/TempFolder.h"

namespace pellimor {
namespace {

std::string Be(std::uint64_t value, int size) {
    std::string out;
    for (int i = size - 1; i >= 0; --i) {
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    return out;
}

std::string Sol(const std::string& name, int version, const std::string& body) {
    const std::string rest = std::string("TCSO") + std::string("\x00\x04\x00\x00\x00\x00", 6) +
                             Be(name.size(), 2) + name + Be(version, 4) + body;
    return std::string("\x00\xBF", 2) + Be(rest.size(), 4) + rest;
}

std::string Amf0Name(const std::string& name) {
    return Be(name.size(), 2) + name;
}
std::string Amf0Number(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, 8);
    return std::string(1, '\x00') + Be(bits, 8);
}
std::string Amf0String(const std::string& text) {
    return "\x02" + Be(text.size(), 2) + text;
}
const std::string kEnd("\x00\x00\x09", 3);
const std::string kZero(1, '\0');

// AMF3: an inline string of up to 63 bytes.
std::string Amf3Text(const std::string& text) {
    return std::string(1, static_cast<char>(text.size() << 1 | 1)) + text;
}

TEST(SolFile, ReadsEveryKindOfAmf0Value) {
    const std::string body =
        Amf0Name("score") + Amf0Number(1234.5) + kZero + Amf0Name("tenth") + Amf0Number(0.1) +
        kZero + Amf0Name("name") + Amf0String("Ada") + kZero + Amf0Name("done") + "\x01\x01" +
        kZero + Amf0Name("none") + "\x05" + kZero + Amf0Name("gone") + "\x06" + kZero +
        Amf0Name("when") + "\x0B" + Amf0Number(1e12).substr(1) + Be(0, 2) + kZero +
        Amf0Name("list") + "\x0A" + Be(2, 4) + Amf0Number(1) + Amf0String("two") + kZero +
        Amf0Name("map") + "\x08" + Be(1, 4) + Amf0Name("k") + Amf0String("v") + kEnd + kZero +
        Amf0Name("hero") + "\x10" + Amf0Name("Hero") + Amf0Name("hp") + Amf0Number(7) +
        Amf0Name("self") + "\x07" + Be(2, 2) + kEnd + kZero + Amf0Name("doc") + "\x0F" + Be(4, 4) +
        "<a/>" + kZero + Amf0Name("long") + "\x0C" + Be(3, 4) + "abc" + kZero;
    const SolContents sol = ReadSol(Sol("progress", 0, body));
    EXPECT_TRUE(sol.isSol);
    EXPECT_EQ(sol.error, "");
    EXPECT_EQ(sol.name, "progress");
    EXPECT_EQ(sol.amfVersion, 0u);
    EXPECT_EQ(AmfValuesAsJson(sol.values),
              R"({"score":1234.5,"tenth":0.1,"name":"Ada","done":true,"none":null,"gone":null,)"
              R"("when":{"@date":1000000000000},"list":[1,"two"],"map":{"k":"v"},)"
              R"("hero":{"@class":"Hero","hp":7,"self":{"@ref":2}},"doc":{"@xml":"<a/>"},)"
              R"("long":"abc"})");
}

// The kinds the saves amfjs wrote (SavesData) do not hold: a string read again by
// reference, undefined, an array with named items, sealed and dynamic members, an object
// read again by reference.
TEST(SolFile, ReadsEveryKindOfAmf3Value) {
    const std::string body =
        Amf3Text("s") + "\x06" + Amf3Text("hi") + kZero +  //
        Amf3Text("again") + "\x06\x02" + kZero +           // the second string read: "hi"
        Amf3Text("u") + kZero + kZero + Amf3Text("when") + "\x08\x01" + Amf0Number(5).substr(1) +
        kZero + Amf3Text("arr") + "\x09\x05" + Amf3Text("k") + "\x04\x01" + "\x01" + "\x04\x02" +
        "\x06" + Amf3Text("x") + kZero +  // {"@items":[2,"x"],"k":1}
        Amf3Text("obj") + "\x0A\x1B" + Amf3Text("Pt") + Amf3Text("a") + "\x04\x03" + Amf3Text("b") +
        "\x04\x04" + "\x01" + kZero +           // sealed a, dynamic b
        Amf3Text("same") + "\x0A\x04" + kZero;  // object 2: the one above
    SolContents sol = ReadSol(Sol("s3", 3, body));
    EXPECT_EQ(sol.error, "");
    EXPECT_EQ(sol.amfVersion, 3u);
    EXPECT_EQ(
        AmfValuesAsJson(sol.values),
        R"({"s":"hi","again":"hi","u":null,"when":{"@date":5},)"
        R"("arr":{"@items":[2,"x"],"k":1},"obj":{"@class":"Pt","a":3,"b":4},"same":{"@ref":2}})");
}

// Damaged and hostile saves: each stops where it must, keeps what came before, says why.
TEST(SolFile, StopsWithinBoundsOnHostileSaves) {
    std::string deep0;
    for (int i = 0; i < 10'000; ++i) {
        deep0 += "\x03" + Amf0Name("a");
    }
    std::string deep3;
    for (int i = 0; i < 10'000; ++i) {
        deep3 += "\x09\x03\x01";  // an array whose one item is the next
    }
    const struct {
        const char* what;
        std::string bytes;
        std::string why;  // a part of the error
        std::size_t valuesKept;
    } cases[] = {
        {"a string longer than the file", Sol("x", 0, Amf0Name("a") + "\x0C" + Be(100u << 20, 4)),
         "reaches past the end", 1},
        {"an AMF3 string of 256 MB claimed", Sol("x", 3, Amf3Text("a") + "\x06\xBF\xFF\xFF\xFF"),
         "reaches past the end", 1},
        {"a value cut short",
         Sol("x", 0,
             Amf0Name("a") + Amf0Number(1) + kZero + Amf0Name("b") + Amf0Number(2).substr(0, 4)),
         "ends inside a value", 2},
        {"a strict array claiming 4 billion items",
         Sol("x", 0, Amf0Name("a") + "\x0A" + Be(0xFFFFFFFF, 4) + "\x05\x05"), "ends inside", 1},
        {"nesting without end (AMF0)", Sol("x", 0, Amf0Name("deep") + deep0), "nested deeper", 1},
        {"nesting without end (AMF3)", Sol("x", 3, Amf3Text("deep") + deep3), "nested deeper", 1},
        {"a reference to itself before it is read", Sol("x", 0, Amf0Name("a") + "\x07" + Be(0, 2)),
         "not read before", 1},
        {"an AMF3 object reference forward", Sol("x", 3, Amf3Text("a") + "\x0A\x08"),
         "not read before", 1},
        {"traits never read", Sol("x", 3, Amf3Text("a") + "\x0A\x05"), "traits", 1},
        {"an unknown AMF0 type", Sol("x", 0, Amf0Name("a") + "\x0D"), "type 13", 1},
        {"a value not closed by its zero", Sol("x", 0, Amf0Name("a") + "\x05" + "\x07"),
         "zero byte", 1},
        {"AMF version 7", Sol("x", 7, ""), "AMF version 7", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const SolContents sol = ReadSol(c.bytes);
        EXPECT_NE(sol.error.find(c.why), std::string::npos) << sol.error;
        EXPECT_EQ(sol.values.size(), c.valuesKept);
        EXPECT_LE(sol.stoppedAt, c.bytes.size());
        (void)AmfValuesAsJson(sol.values);  // what was kept can be shown
    }
    // Not a save at all.
    EXPECT_FALSE(ReadSol("").isSol);
    EXPECT_FALSE(ReadSol(std::string("\x00\xBF\x00\x00\x00\x10TCSX", 10)).isSol);
    EXPECT_FALSE(ReadSol(std::string("\x00\xBF\x00\x00\x00\x10TCSO\x00\x04", 12)).isSol);
}

// A string referred to again and again is copied only within the budget for copies.
TEST(SolFile, StringReferencesCannotAmplify) {
    const std::string big(1 << 20, 'x');  // 1 MB, once in the file
    // Name "b", value a 1 MB string (its U29 length 2^21 | 1 in four bytes).
    std::string body = Amf3Text("b") + "\x06" + std::string("\x80\xC0\x80\x01", 4) + big + kZero;
    for (int i = 0; i < 200; ++i) {
        body += "\x02\x06\x02" + kZero;  // name and value: the 1 MB string again
    }
    const SolContents sol = ReadSol(Sol("x", 3, body));
    EXPECT_NE(sol.error.find("more text"), std::string::npos) << sol.error;
    std::size_t text = 0;
    for (const AmfValue& v : sol.values) {
        text += v.text.size() + v.name.size();
    }
    EXPECT_LE(text, kMostAmfCopiedText + (2u << 20));
}

// Real saves (tests/data/saves): those Ruffle stored for the movies made here, and AMF3 saves
// written by amfjs; each read as amfjs, an independent AMF reader, read it (its readings
// committed beside the files).
TEST(SavesData, EverySaveReadsAsTheIndependentReaderReadsIt) {
    int compared = 0;
    for (const auto& file :
         std::filesystem::directory_iterator(std::string(PELLIMOR_TEST_DATA) + "/saves")) {
        if (file.path().extension() != ".sol") {
            continue;
        }
        SCOPED_TRACE(file.path().filename().string());
        const SolContents sol = ReadSol(test::ReadFile(file.path()));
        EXPECT_TRUE(sol.isSol);
        EXPECT_EQ(sol.error, "");
        std::string expected = test::ReadFile(file.path().string() + ".amfjs.json");
        while (!expected.empty() && expected.back() == '\n') {
            expected.pop_back();
        }
        EXPECT_EQ(AmfValuesAsJson(sol.values, true), expected);
        ++compared;
    }
    EXPECT_GE(compared, 5);
}

}  // namespace
}  // namespace pellimor
