#include "platform/chromium/ResponseInfo.h"

#include <gtest/gtest.h>

#include "ground/ByteReader.h"
#include "support/ChromiumSimpleWriter.h"

namespace pellimor::chromium {
namespace {

TEST(ChromiumKeys, AddressIsTheLastPartOfTheKey) {
    const struct {
        std::string key;
        std::optional<std::string> url;
    } cases[] = {
        {"http://a.example/x.swf", "http://a.example/x.swf"},
        {"1/0/_dk_https://google.com https://google.com https://www.google.com/a?b=c",
         "https://www.google.com/a?b=c"},
        {"_dk_s_https://a.example https://a.example https://b.example/m.swf",
         "https://b.example/m.swf"},
        {"", std::nullopt},
        {"1/0/_dk_x y ", std::nullopt},
        {"no-scheme", std::nullopt},
        {"1/0/_dk_x y :nothing", std::nullopt},
        {"http:", std::nullopt},
        {std::string("http://a.example/\nx", 19), std::nullopt},
        {"data:,x", "data:,x"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(UrlFromKey(c.key), c.url) << c.key;
    }
}

TEST(ChromiumKeys, HttpDates) {
    const struct {
        const char* text;
        std::optional<UnixTime> time;
    } cases[] = {
        {"Wed, 24 Jun 2009 12:30:00 GMT", 1245846600},
        {"Wednesday, 24-Jun-09 12:30:00 GMT", 1245846600},
        {"Wed Jun 24 12:30:00 2009", 1245846600},
        {"Thu, 01 Jan 1970 00:00:00 GMT", 0},
        {"Mon, 29 Feb 2016 23:59:59 GMT", 1456790399},
        {"", std::nullopt},
        {"0", std::nullopt},
        {"Wed, 24 Foo 2009 12:30:00 GMT", std::nullopt},
        {"Wed, 24 Jun 2009 25:30:00 GMT", std::nullopt},
        {"Wed, 99 Jun 2009 12:30:00 GMT", std::nullopt},
        {"Wed, 24 Jun 2009 12:30 GMT", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseHttpDate(c.text), c.time) << c.text;
    }
}

TEST(ChromiumKeys, ChromeTimes) {
    EXPECT_EQ(ChromeTimeToUnix(0), std::nullopt);
    EXPECT_EQ(ChromeTimeToUnix(11644473600ULL * 1000000), 0);
    EXPECT_EQ(ChromeTimeToUnix((11644473600ULL + 1700000000) * 1000000 + 999999), 1700000000);
    EXPECT_EQ(ChromeTimeToUnix(~0ULL), std::nullopt);
}

std::span<const std::uint8_t> Bytes(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

TEST(ChromiumResponse, DamagedPicklesAreRefused) {
    test::SimpleEntrySpec spec;
    const std::string good = test::PickledResponse(spec);
    auto patched = [&](std::size_t at, std::uint32_t value) {
        std::string bytes = good;
        PutU32(reinterpret_cast<std::uint8_t*>(&bytes[at]), value);
        return bytes;
    };
    const std::string cases[] = {
        "",
        good.substr(0, 3),
        good.substr(0, 20),
        good.substr(0, good.size() - 30),  // the payload size says more than there is
        patched(0, 0xffffffff),
        patched(4, 0x7),          // version 7
        patched(4, 0x0),          // version 0
        patched(24, 0xfffffff0),  // headers longer than the payload
        patched(24, 3),           // headers that are no status line
    };
    for (const std::string& bytes : cases) {
        EXPECT_FALSE(ParseResponseInfo(Bytes(bytes)).ok()) << bytes.size();
    }
    EXPECT_TRUE(ParseResponseInfo(Bytes(good)).ok());
}

}  // namespace
}  // namespace pellimor::chromium
