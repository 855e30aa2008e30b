#include <gtest/gtest.h>

#include <clocale>

#include "catalogue/DisplayTexts.h"

namespace pellimor {
namespace {

TEST(FormatSizeText, RoundsTheExactValueHalfUp) {
    const struct {
        std::uint64_t bytes;
        const char* text;
    } cases[] = {
        {0, "0.00 KB"},
        {5, "0.00 KB"},
        {6, "0.01 KB"},
        {102, "0.10 KB"},
        {103, "0.1 KB"},
        {256, "0.3 KB"},
        {1024, "1.0 KB"},
        {1280, "1.3 KB"},
        {10737418240ULL, "10485760.0 KB"},
        {51, "0.05 KB"},
        {1075, "1.0 KB"},
        {1076, "1.1 KB"},
        {18446744073709551615ULL, "18014398509481984.0 KB"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatSizeText(c.bytes), c.text) << c.bytes;
    }
}

constexpr std::uint64_t FileTime(long long unixSeconds) {
    return static_cast<std::uint64_t>(unixSeconds + 11644473600LL) * 10000000ULL;
}

TEST(FormatLastModified, ShowsUtcInEnglish) {
    const struct {
        std::uint64_t fileTime;
        const char* text;
    } cases[] = {
        {FileTime(1362492189), "Tue, 05 Mar 2013 14:03:09 GMT"},
        {FileTime(0), "Thu, 01 Jan 1970 00:00:00 GMT"},
        {FileTime(951782400), "Tue, 29 Feb 2000 00:00:00 GMT"},
        {FileTime(4102444799), "Thu, 31 Dec 2099 23:59:59 GMT"},
        {0x01C9EDB4FFE71400ULL, "Mon, 15 Jun 2009 12:30:00 GMT"},
        {FileTime(1362492189) + 9999999, "Tue, 05 Mar 2013 14:03:09 GMT"},  // milliseconds dropped
        {FileTime(-1), ""},                                                 // 1969
        {FileTime(-2208988800LL), ""},                                      // 1900
        {1, ""},                                                            // 1601
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatLastModified(c.fileTime), c.text) << c.fileTime;
    }
}

TEST(FormatLastModified, IgnoresTheProcessLocale) {
    // Turkish has other day and month names and a decimal comma; ./test installs it.
    ASSERT_NE(std::setlocale(LC_ALL, "tr_TR.UTF-8"), nullptr);
    EXPECT_EQ(FormatLastModified(FileTime(1362492189)), "Tue, 05 Mar 2013 14:03:09 GMT");
    EXPECT_EQ(FormatSizeText(1280), "1.3 KB");
    std::setlocale(LC_ALL, "C");
}

}  // namespace
}  // namespace pellimor
