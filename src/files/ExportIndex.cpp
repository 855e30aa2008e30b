#include "files/ExportIndex.h"

#include <cstdio>

#include "ground/AsciiText.h"
#include "sites/Addresses.h"

namespace pellimor {

namespace {

std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

// The value of the first header line named name (lower case), without surrounding blanks.
std::optional<std::string_view> HeaderValue(std::string_view headers, std::string_view name) {
    std::size_t start = 0;
    while (start < headers.size()) {
        std::size_t end = headers.find('\n', start);
        if (end == std::string_view::npos) {
            end = headers.size();
        }
        std::string_view line = headers.substr(start, end - start);
        start = end + 1;
        if (line.size() <= name.size() || line[name.size()] != ':') {
            continue;
        }
        bool same = true;
        for (std::size_t i = 0; i < name.size() && same; ++i) {
            same = LowerAscii(line[i]) == name[i];
        }
        if (!same) {
            continue;
        }
        line.remove_prefix(name.size() + 1);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
            line.remove_prefix(1);
        }
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
            line.remove_suffix(1);
        }
        return line;
    }
    return std::nullopt;
}

}  // namespace

std::string DayOf(UnixTime time) {
    const std::int64_t z = (time >= 0 ? time : time - 86399) / 86400 + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
    char text[32];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02u", static_cast<long long>(y), m, d);
    return text;
}

std::optional<UnixTime> ParseHttpDate(std::string_view text) {
    static constexpr std::string_view kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                                   "jul", "aug", "sep", "oct", "nov", "dec"};
    // Words and numbers in order, whatever the form: day, month name, year, h:m:s.
    std::vector<std::string> words;
    std::string word;
    for (const char c : text.substr(0, 128)) {
        if (c == ' ' || c == ',' || c == '-' || c == ':') {
            if (!word.empty()) {
                words.push_back(word);
            }
            word.clear();
        } else {
            word += LowerAscii(c);
        }
    }
    if (!word.empty()) {
        words.push_back(word);
    }
    int month = -1;
    std::vector<long> numbers;
    for (const std::string& w : words) {
        for (int i = 0; i < 12; ++i) {
            if (w.substr(0, 3) == kMonths[i]) {
                month = i + 1;
            }
        }
        if (!w.empty() && w.size() <= 4 && w.find_first_not_of("0123456789") == std::string::npos) {
            numbers.push_back(std::stol(w));
        }
    }
    if (month < 0 || numbers.size() != 5) {
        return std::nullopt;
    }
    // "24 Jun 2009 12:30:00" and "24-Jun-09 12:30:00" give day, year, h, m, s; asctime's
    // "Jun 24 12:30:00 2009" gives day, h, m, s, year.
    long day = numbers[0];
    long year = numbers[1];
    long hour = numbers[2];
    long minute = numbers[3];
    long second = numbers[4];
    if (numbers[4] > 999) {
        year = numbers[4];
        hour = numbers[1];
        minute = numbers[2];
        second = numbers[3];
    }
    if (year < 100) {
        year += year < 70 ? 2000 : 1900;
    }
    if (day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60 || year < 1970) {
        return std::nullopt;
    }
    return DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 +
           hour * 3600 + minute * 60 + second;
}

Status ExportIndex::Build(CacheSource& cache, FileOps& files) {
    const Status built = book_.Build(cache);
    variants_.clear();
    lastModified_.clear();
    contentLanguage_.clear();
    exact_.clear();
    const Status listed = cache.Enumerate([&](const CacheEntry& entry) {
        if (entry.kind == EntryKind::kCookie || entry.kind == EntryKind::kHistory || !entry.url) {
            return true;
        }
        const std::string address = CanonicalAddress(*entry.url);
        exact_.insert(address);
        std::optional<UnixTime> changed;
        if (const auto header = HeaderValue(entry.headers, "last-modified")) {
            changed = ParseHttpDate(*header);
        }
        if (!changed) {
            changed = entry.lastModified;
        }
        if (changed) {
            lastModified_.try_emplace(address, *changed);
        }
        if (const auto language = HeaderValue(entry.headers, "content-language")) {
            contentLanguage_.try_emplace(address, language->substr(0, 256));
        }
        // Two sources may hold one address: only different addresses count.
        const auto [at, added] =
            variants_.try_emplace(std::string(WithoutQuery(address)), Variants{address, false});
        if (!added && at->second.first != address) {
            at->second.several = true;
        }
        return true;
    });
    const Status read = pages_.Build(cache, files);
    if (!built.ok()) {
        return built;
    }
    return listed.ok() ? read : listed;
}

std::optional<CachedFile> ExportIndex::Find(std::string_view url) const {
    if (QueryMatters(url) && !exact_.contains(CanonicalAddress(url))) {
        return std::nullopt;
    }
    return book_.Find(url);
}

bool ExportIndex::QueryMatters(std::string_view url) const {
    const std::string address = CanonicalAddress(url);
    const auto found = variants_.find(std::string(WithoutQuery(address)));
    return found != variants_.end() && found->second.several;
}

std::optional<std::string> ExportIndex::LastModifiedDay(std::string_view url) const {
    const auto found = lastModified_.find(CanonicalAddress(url));
    if (found == lastModified_.end()) {
        return std::nullopt;
    }
    return DayOf(found->second);
}

std::optional<std::string> ExportIndex::ContentLanguage(std::string_view url) const {
    const auto found = contentLanguage_.find(CanonicalAddress(url));
    if (found == contentLanguage_.end()) {
        return std::nullopt;
    }
    return found->second;
}

}  // namespace pellimor
