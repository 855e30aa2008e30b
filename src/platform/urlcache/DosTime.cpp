#include "platform/urlcache/DosTime.h"

#include <ctime>

namespace pellimor {

namespace {
constexpr long long kSecondsFrom1601To1970 = 11'644'473'600LL;
}

std::uint32_t DosTimeFromFileTime(std::uint64_t fileTime) {
    if (fileTime == 0) {
        return 0;
    }
    const std::time_t seconds = static_cast<std::time_t>(
        static_cast<long long>(fileTime / 10'000'000ULL) - kSecondsFrom1601To1970);
    std::tm local{};
    if (::localtime_r(&seconds, &local) == nullptr || local.tm_year < 80) {
        return 0;
    }
    const auto date = static_cast<std::uint32_t>(((local.tm_year - 80) << 9) |
                                                 ((local.tm_mon + 1) << 5) | local.tm_mday);
    const auto time = static_cast<std::uint32_t>((local.tm_hour << 11) | (local.tm_min << 5) |
                                                 (local.tm_sec / 2));
    return date | (time << 16);
}

std::uint64_t FileTimeFromDosTime(std::uint32_t dosTime) {
    const std::uint32_t date = dosTime & 0xFFFF;
    const std::uint32_t time = dosTime >> 16;
    if (date == 0) {
        return 0;
    }
    std::tm local{};
    local.tm_year = static_cast<int>((date >> 9) + 80);
    local.tm_mon = static_cast<int>(((date >> 5) & 0xF) - 1);
    local.tm_mday = static_cast<int>(date & 0x1F);
    local.tm_hour = static_cast<int>(time >> 11);
    local.tm_min = static_cast<int>((time >> 5) & 0x3F);
    local.tm_sec = static_cast<int>((time & 0x1F) * 2);
    local.tm_isdst = -1;
    const std::time_t seconds = ::mktime(&local);
    if (seconds == static_cast<std::time_t>(-1)) {
        return 0;
    }
    return static_cast<std::uint64_t>(seconds + kSecondsFrom1601To1970) * 10'000'000ULL;
}

}  // namespace pellimor
