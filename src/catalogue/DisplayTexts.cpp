#include "catalogue/DisplayTexts.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <string_view>

namespace pellimor {

std::string FormatSizeText(std::uint64_t bytes) {
    // bytes / 1024 is 0.1 KB or more from 103 bytes on (102.4 bytes is 0.1 KB).
    const unsigned decimals = bytes <= 102 ? 2 : 1;
    const unsigned scale = decimals == 2 ? 100 : 10;
    // Round half up on the exact value: floor(bytes * scale / 1024 + 1/2).
    const unsigned __int128 scaled =
        (static_cast<unsigned __int128>(bytes) * scale * 2 + 1024) / 2048;
    const auto whole = static_cast<std::uint64_t>(scaled / scale);
    const auto fraction = static_cast<unsigned>(scaled % scale);
    // Written by hand: printf's format parsing cost more than the rest of a large scan's
    // texts together.
    std::array<char, 48> text{};
    char* end = std::to_chars(text.data(), text.data() + 24, whole).ptr;
    *end++ = '.';
    if (decimals == 2) {
        *end++ = static_cast<char>('0' + fraction / 10);
    }
    *end++ = static_cast<char>('0' + fraction % 10);
    constexpr std::string_view kUnit = " KB";
    end = std::copy(kUnit.begin(), kUnit.end(), end);
    return std::string(text.data(), end);
}

namespace {

constexpr std::uint64_t kTicksPerSecond = 10'000'000;
constexpr std::uint64_t kSecondsFrom1601To1970 = 11'644'473'600;

struct CivilDate {
    long long year;
    unsigned month;  // 1..12
    unsigned day;    // 1..31
};

// Days since 1970-01-01 to a proleptic Gregorian date (H. Hinnant's algorithm).
CivilDate CivilFromDays(long long days) {
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned monthPrime = (5 * dayOfYear + 2) / 153;
    const unsigned day = dayOfYear - (153 * monthPrime + 2) / 5 + 1;
    const unsigned month = monthPrime < 10 ? monthPrime + 3 : monthPrime - 9;
    const long long year = static_cast<long long>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
    return {year, month, day};
}

// Two digits of a number below 100.
char* TwoDigits(char* at, unsigned value) {
    at[0] = static_cast<char>('0' + value / 10 % 10);
    at[1] = static_cast<char>('0' + value % 10);
    return at + 2;
}

// A year from 0 to 9999 as four digits.
char* FourDigits(char* at, long long year) {
    const auto value = static_cast<unsigned>(year);
    at = TwoDigits(at, value / 100);
    return TwoDigits(at, value % 100);
}

bool FourDigitYear(long long year) {
    return year >= 0 && year <= 9999;
}

}  // namespace

std::string FormatLastModified(std::uint64_t fileTime) {
    const std::uint64_t since1601 = fileTime / kTicksPerSecond;
    if (since1601 < kSecondsFrom1601To1970) {
        return {};
    }
    return FormatUtcTime(static_cast<std::int64_t>(since1601 - kSecondsFrom1601To1970));
}

std::string FormatUtcTime(std::int64_t unixSeconds) {
    static constexpr std::array<const char*, 7> kWeekdays = {"Thu", "Fri", "Sat", "Sun",
                                                             "Mon", "Tue", "Wed"};
    static constexpr std::array<const char*, 12> kMonths = {
        "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    if (unixSeconds < 0) {
        return {};
    }
    const auto seconds = static_cast<std::uint64_t>(unixSeconds);
    const auto days = static_cast<long long>(seconds / 86400);
    const auto secondOfDay = static_cast<unsigned>(seconds % 86400);
    const CivilDate date = CivilFromDays(days);
    if (FourDigitYear(date.year)) {
        // "Tue, 05 Mar 2013 14:03:09 GMT", written by hand for a large cache's many entries.
        char text[29];
        char* at = std::copy_n(kWeekdays[days % 7], 3, text);
        at = std::copy_n(", ", 2, at);
        at = TwoDigits(at, date.day);
        *at++ = ' ';
        at = std::copy_n(kMonths[date.month - 1], 3, at);
        *at++ = ' ';
        at = FourDigits(at, date.year);
        *at++ = ' ';
        at = TwoDigits(at, secondOfDay / 3600);
        *at++ = ':';
        at = TwoDigits(at, secondOfDay / 60 % 60);
        *at++ = ':';
        at = TwoDigits(at, secondOfDay % 60);
        at = std::copy_n(" GMT", 4, at);
        return std::string(text, at);
    }
    std::array<char, 128> text{};
    const int written =
        std::snprintf(text.data(), text.size(), "%s, %02u %s %04lld %02u:%02u:%02u GMT",
                      kWeekdays[days % 7], date.day, kMonths[date.month - 1], date.year,
                      secondOfDay / 3600, secondOfDay / 60 % 60, secondOfDay % 60);
    if (written < 0 || static_cast<std::size_t>(written) >= text.size()) {
        return {};
    }
    return text.data();
}

std::string FormatIsoTime(std::int64_t unixSeconds) {
    const long long days =
        unixSeconds >= 0 ? unixSeconds / 86400 : -((-unixSeconds + 86399) / 86400);
    const auto secondOfDay = static_cast<unsigned>(unixSeconds - days * 86400);
    const CivilDate date = CivilFromDays(days);
    if (FourDigitYear(date.year)) {
        char text[20];
        char* at = FourDigits(text, date.year);
        *at++ = '-';
        at = TwoDigits(at, date.month);
        *at++ = '-';
        at = TwoDigits(at, date.day);
        *at++ = 'T';
        at = TwoDigits(at, secondOfDay / 3600);
        *at++ = ':';
        at = TwoDigits(at, secondOfDay / 60 % 60);
        *at++ = ':';
        at = TwoDigits(at, secondOfDay % 60);
        *at++ = 'Z';
        return std::string(text, at);
    }
    std::array<char, 64> text{};
    const int written = std::snprintf(text.data(), text.size(), "%04lld-%02u-%02uT%02u:%02u:%02uZ",
                                      date.year, date.month, date.day, secondOfDay / 3600,
                                      secondOfDay / 60 % 60, secondOfDay % 60);
    if (written < 0 || static_cast<std::size_t>(written) >= text.size()) {
        return {};
    }
    return text.data();
}

}  // namespace pellimor
