// The real WebCacheV01.dat (tests/data/webcache) laid out below a user folder, with the cache
// folders its containers name built by the script kept beside it, and esedbexport's rows of
// the same file to check a reading against.
#pragma once

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/TempFolder.h"

namespace pellimor::test {

inline const std::string kWebCacheBelowUser = "AppData/Local/Microsoft/Windows/WebCache";

inline std::string RealWebCacheBytes() {
    int status = 0;
    return RunCommand("gzip -dc '" PELLIMOR_TEST_DATA "/webcache/WebCacheV01.dat.gz'", status);
}

// A row of an esedbexport table, by column name.
using ExportRow = std::map<std::string, std::string>;

inline std::vector<ExportRow> ReadExport(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::vector<std::string>> lines;  // the first names the columns
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string>& fields = lines.emplace_back();
        for (std::size_t start = 0, end = 0; end != std::string::npos; start = end + 1) {
            end = line.find('\t', start);
            fields.push_back(line.substr(start, end - start));
        }
    }
    std::vector<ExportRow> rows;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        ExportRow& row = rows.emplace_back();
        for (std::size_t column = 0; column < lines[0].size() && column < lines[i].size();
             ++column) {
            row[lines[0][column]] = lines[i][column];
        }
    }
    return rows;
}

// esedbexport's time ("Nov 29, 2021 22:47:25.505067300", UTC) in whole seconds since 1970;
// nothing for FILETIME 0 ("Jan 01, 1601 00:00:00...").
inline std::optional<std::int64_t> ExportTime(const std::string& text) {
    std::tm tm{};
    if (strptime(text.c_str(), "%b %d, %Y %H:%M:%S", &tm) == nullptr || tm.tm_year == 1601 - 1900) {
        return std::nullopt;
    }
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
                           const std::string& exportFolder, bool upper = false) {
    std::string below = kWebCacheBelowUser + "/WebCacheV01.dat";
    if (upper) {
        std::transform(below.begin(), below.end(), below.begin(), ::toupper);
    }
    const std::string database = userFolder + "/" + below;
    MakeFolders(database.substr(0, database.rfind('/')));
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
