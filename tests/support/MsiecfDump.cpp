#include "support/MsiecfDump.h"

#include <cstdio>
#include <ctime>
#include <sstream>
#include <utility>

#include "support/TempFolder.h"

namespace pellimor::test {

namespace {
const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::string ValueOf(const std::string& line) {
    const auto colon = line.find(": ");
    return colon == std::string::npos ? "" : line.substr(colon + 2);
}

const std::pair<const char*, std::string DumpRecord::*> kTextFields[] = {
    {"Location", &DumpRecord::location},
    {"Primary time", &DumpRecord::primaryTime},
    {"Secondary time", &DumpRecord::secondaryTime},
    {"Expiration time", &DumpRecord::expirationTime},
    {"Last checked time", &DumpRecord::lastCheckedTime},
    {"Filename", &DumpRecord::fileName},
};
}  // namespace

std::vector<DumpRecord> ParseMsiecfDump(const std::string& text) {
    std::vector<DumpRecord> records;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("Exporting recovered items", 0) == 0) {
            break;
        }
        const std::string value = ValueOf(line);
        if (line.rfind("Record type", 0) == 0) {
            records.push_back({});
            records.back().type = value;
        } else if (records.empty()) {
            continue;
        } else if (line.rfind("Offset range", 0) == 0) {
            records.back().offset = static_cast<std::uint32_t>(std::stoul(value));
        } else if (line.rfind("Cache directory index", 0) == 0) {
            records.back().cacheDirectory = std::stoi(value);
        }
        for (const auto& [label, field] : kTextFields) {
            if (!records.empty() && line.rfind(label, 0) == 0) {
                records.back().*field = value;
            }
        }
    }
    return records;
}

std::string MsiecfFileTime(std::uint64_t fileTime) {
    if (fileTime == 0) {
        return "";
    }
    const auto seconds = static_cast<std::time_t>(fileTime / 10000000ULL - 11644473600ULL);
    std::tm utc{};
    ::gmtime_r(&seconds, &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%s %02d, %04d %02d:%02d:%02d.%09llu", kMonths[utc.tm_mon],
                  utc.tm_mday, utc.tm_year + 1900, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  static_cast<unsigned long long>(fileTime % 10000000ULL) * 100);
    return text;
}

std::string MsiecfDosTime(std::uint32_t dosTime) {
    const std::uint32_t date = dosTime & 0xFFFF;
    const std::uint32_t time = dosTime >> 16;
    if (date == 0) {
        return "";
    }
    char text[64];
    std::snprintf(text, sizeof text, "%s %02u, %04u %02u:%02u:%02u",
                  kMonths[((date >> 5) & 0xF) - 1], date & 0x1F, (date >> 9) + 1980, time >> 11,
                  (time >> 5) & 0x3F, (time & 0x1F) * 2);
    return text;
}

std::string RunMsiecfexport(const std::string& path) {
    int status = 0;
    return RunCommand(std::string(PELLIMOR_MSIECFEXPORT) + " -m all '" + path + "' 2>&1", status);
}

}  // namespace pellimor::test
