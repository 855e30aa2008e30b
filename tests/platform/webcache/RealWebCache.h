// The real WebCacheV01.dat (tests/data/webcache) laid out below a user folder, with the cache
// folders its containers name built by the script kept beside it, and esedbexport's rows of
// the same file to check a reading against.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <ctime>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/TempFolder.h"

namespace pellimor::test {

inline const std::string kWebCacheBelowUser = "AppData/Local/Microsoft/Windows/WebCache";

inline std::string RealWebCacheBytes() {
    gzFile in = gzopen(PELLIMOR_TEST_DATA "/webcache/WebCacheV01.dat.gz", "rb");
    std::string bytes;
    if (in == nullptr) {
        return bytes;
    }
    char buffer[1 << 16];
    int n = 0;
    while ((n = gzread(in, buffer, sizeof buffer)) > 0) {
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    gzclose(in);
    return bytes;
}

// A row of an esedbexport table, by column name.
using ExportRow = std::map<std::string, std::string>;

inline std::vector<ExportRow> ReadExport(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::vector<std::string> names;
    std::vector<ExportRow> rows;
    const auto split = [](const std::string& text) {
        std::vector<std::string> fields;
        std::stringstream stream(text);
        std::string field;
        while (std::getline(stream, field, '\t')) {
            fields.push_back(field);
        }
        if (!text.empty() && text.back() == '\t') {
            fields.emplace_back();
        }
        return fields;
    };
    if (std::getline(in, line)) {
        names = split(line);
    }
    while (std::getline(in, line)) {
        const std::vector<std::string> fields = split(line);
        ExportRow row;
        for (std::size_t i = 0; i < names.size() && i < fields.size(); ++i) {
            row[names[i]] = fields[i];
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

// esedbexport's time ("Nov 29, 2021 22:47:25.505067300", UTC) in whole seconds since 1970;
// nothing for FILETIME 0 ("Jan 01, 1601 00:00:00...").
inline std::optional<std::int64_t> ExportTime(const std::string& text) {
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm tm{};
    char month[4] = {};
    int day = 0, year = 0, hour = 0, minute = 0, second = 0;
    if (std::sscanf(text.c_str(), "%3s %d, %d %d:%d:%d", month, &day, &year, &hour, &minute,
                    &second) != 6 ||
        year == 1601) {
        return std::nullopt;
    }
    for (int m = 0; m < 12; ++m) {
        if (std::string(month) == kMonths[m]) {
            tm.tm_mon = m;
        }
    }
    tm.tm_year = year - 1900;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    return static_cast<std::int64_t>(timegm(&tm));
}

inline std::string FromHex(const std::string& hex) {
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    return out;
}

// The database (bytes as given) at userFolder's AppData/Local/Microsoft/Windows/WebCache,
// esedbexport's tables of it in exportFolder, and the cache folders made by the script.
inline void LayOutWebCache(const std::string& userFolder, const std::string& bytes,
                           const std::string& exportFolder, bool upper = false,
                           const std::string& databaseName = "WebCacheV01.dat") {
    std::string below = kWebCacheBelowUser;
    std::string name = databaseName;
    if (upper) {
        for (char& c : below) {
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        for (char& c : name) {
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
    }
    MakeFolders(userFolder + "/" + below);
    const std::string database = userFolder + "/" + below + "/" + name;
    WriteFile(database, bytes);
    MakeFolders(exportFolder);
    int status = 0;
    // One table a run (a full export stops at a table libesedb cannot read), gathered in one
    // folder for the script.
    MakeFolders(exportFolder + "/t.export");
    for (const std::string table : {"Containers", "Container_1"}) {
        RunCommand(std::string(PELLIMOR_ESEDBEXPORT) + " -t '" + exportFolder + "/" + table +
                       "' -T " + table + " '" + database + "' >/dev/null 2>&1 && mv '" +
                       exportFolder + "/" + table + ".export/'* '" + exportFolder + "/t.export/'",
                   status);
    }
    RunCommand("python3 '" PELLIMOR_TEST_DATA "/webcache/make-cache-folders.py' '" + exportFolder +
                   "/t.export' '" + userFolder + "' '" PELLIMOR_TEST_DATA "/swf'" +
                   (upper ? " --upper" : ""),
               status);
}

inline std::vector<ExportRow> ExportTable(const std::string& exportFolder,
                                          const std::string& table) {
    for (const std::string& name : VisibleNames(exportFolder + "/t.export")) {
        if (name.rfind(table + ".", 0) == 0) {
            return ReadExport(exportFolder + "/t.export/" + name);
        }
    }
    return {};
}

}  // namespace pellimor::test
