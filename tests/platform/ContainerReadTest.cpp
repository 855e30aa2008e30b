#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <map>
#include <regex>
#include <sstream>

#include "platform/fileops/MappedFile.h"
#include "platform/urlcache/CodePage.h"
#include "platform/urlcache/ContainerChecker.h"
#include "platform/urlcache/DosTime.h"
#include "platform/urlcache/IndexDatCache.h"
#include "support/MsiecfDump.h"
#include "support/TempFolder.h"

namespace pellimor {
namespace {

const std::string kData = std::string(PELLIMOR_TEST_DATA) + "/wininet";

// A record as one line of the fields msiecfexport prints.
std::string DumpLine(const test::DumpRecord& d) {
    return std::to_string(d.offset) + " " + d.location + " | " + d.primaryTime + " | " +
           d.secondaryTime + " | " + d.expirationTime + " | " + d.lastCheckedTime + " | " +
           d.fileName + " | " + std::to_string(d.cacheDirectory);
}

// Every live URL record we read, in file order, equals the record msiecfexport printed.
void ExpectSameAsDump(const indexdat::ContainerView& view, const std::string& dumpText) {
    std::vector<std::string> dump;
    for (const auto& d : test::ParseMsiecfDump(dumpText)) {
        if (d.type == "URL") {
            dump.push_back(DumpLine(d));
        }
    }
    std::map<std::uint32_t, std::string> ours;
    (void)view.ForEachLiveUrl([&](const indexdat::RawUrlRecord& r, const indexdat::HashItem&) {
        // msiecfexport decodes the texts from its default code page, Windows-1252.
        ours[r.offset] =
            DumpLine({"URL", r.offset, *DecodeCodePage(r.url.value_or(""), 1252),
                      test::MsiecfFileTime(r.lastAccess), test::MsiecfFileTime(r.lastModified),
                      test::MsiecfDosTime(r.expiryDos), test::MsiecfDosTime(r.lastSyncDos),
                      *DecodeCodePage(r.fileName.value_or(""), 1252),
                      static_cast<std::int8_t>(r.subfolder)});
        return true;
    });
    ASSERT_FALSE(dump.empty());
    std::vector<std::string> lines;
    for (const auto& [offset, line] : ours) {
        lines.push_back(line);
    }
    EXPECT_EQ(lines, dump);
}

// Wine's file is dumped from a copy given the signature msiecfexport knows.
TEST(ContainerRead, RealInternetExplorerFilesMatchTheirDumps) {
    const struct {
        std::string index;
        std::string dump;
        indexdat::Flavour flavour;
    } cases[] = {
        {"real/greendale-student-pc1-Content.IE5-index.dat",
         "real/greendale-student-pc1-Content.IE5-index.msiecfexport.txt",
         indexdat::Flavour::kInternetExplorer},
        {"real/greendale-student-pc1-History.IE5-index.dat",
         "real/greendale-student-pc1-History.IE5-index.msiecfexport.txt",
         indexdat::Flavour::kInternetExplorer},
        {"wine-made/Content.IE5/index.dat", "wine-made/Content.IE5.msiecfexport-sigpatched.txt",
         indexdat::Flavour::kWine},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        const auto file = MappedFile::Open(kData + "/" + c.index);
        ASSERT_TRUE(file) << file.error();
        const auto view = indexdat::ContainerView::Open(file->bytes());
        ASSERT_TRUE(view) << view.error();
        EXPECT_EQ(view->header().flavour, c.flavour);
        ExpectSameAsDump(*view, test::ReadFile(kData + "/" + c.dump));
        EXPECT_EQ(indexdat::CheckContainer(*view), std::vector<std::string>{});
    }
}

// The Wine-made profile laid out as Wine lays it out.
std::string WineProfile(const test::TempFolder& temp) {
    const std::string windows = temp / "Windows";
    test::MakeFolders(windows + "/INetCache");
    test::MakeFolders(windows + "/History");
    test::CopyTree(kData + "/wine-made/Content.IE5", windows + "/INetCache/Content.IE5");
    test::CopyTree(kData + "/wine-made/INetCookies", windows + "/INetCookies");
    test::CopyTree(kData + "/wine-made/History.IE5", windows + "/History/History.IE5");
    return windows;
}

std::string HexTime(std::uint64_t t) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%016llx", static_cast<unsigned long long>(t));
    return text;
}

// A field of the API's listing: a quoted text, a time by its hexadecimal value, or a word.
std::string Field(const std::string& line, const std::string& name) {
    std::smatch m;
    const std::regex field(" " + name + R"re(=(?:"([^"]*)"|\S+ \S+ \((0x[0-9a-f]+)\)|(\S+)))re");
    if (!std::regex_search(line, m, field)) {
        return "";
    }
    return m[1].matched ? m[1].str() : m[2].matched ? m[2].str() : m[3].str();
}

TEST(ContainerRead, WineProfileEnumeratesInTheOrderAndWithTheFieldsOfWinesOwnApi) {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    test::TempFolder temp;
    const std::string windows = WineProfile(temp);
    IndexDatCache cache(windows + "/INetCache", 1252);
    std::vector<CacheRecord> ours;
    ASSERT_TRUE(cache
                    .EnumerateRecords([&](const CacheRecord& r) {
                        ours.push_back(r);
                        return true;
                    })
                    .ok());
    // The API's listing: lines in CP-1252 or, for names made through the wide API, UTF-8.
    std::istringstream api(test::ReadFile(kData + "/wine-made/api-list-null-pattern.txt"));
    std::vector<std::vector<std::string>> entries;
    for (std::string line; std::getline(api, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!IsValidUtf8(line)) {
            line = *DecodeCodePage(line, 1252);
        }
        if (line.rfind("  type=", 0) == 0) {
            entries.push_back({});
        }
        if (!entries.empty()) {
            entries.back().push_back(line);
        }
    }
    ASSERT_EQ(ours.size(), entries.size());
    const std::string wineRoot = "C:\\users\\root\\AppData\\Local\\Microsoft\\Windows\\";
    std::vector<std::string> names;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto& lines = entries[i];
        const CacheRecord& r = ours[i];
        SCOPED_TRACE(lines[0]);
        EXPECT_EQ(std::stoul(Field(lines[0], "type"), nullptr, 16), r.entryType);
        EXPECT_EQ(Field(lines[0], "url"), r.url.value_or(""));
        std::string local = Field(lines[1], "local");
        if (local == "(null)") {
            EXPECT_FALSE(r.localFileName);
        } else {
            ASSERT_TRUE(r.localFileName);
            EXPECT_TRUE(test::FileExists(*r.localFileName)) << *r.localFileName;
            local = windows + "/" + local.substr(wineRoot.size());
            std::replace(local.begin(), local.end(), '\\', '/');
            if (IsAscii(local)) {
                EXPECT_EQ(local, *r.localFileName);
            }
        }
        EXPECT_EQ(Field(lines[1], "size"), std::to_string(r.recordedSize));
        const std::uint64_t expires = FileTimeFromDosTime(r.expiresDos);
        EXPECT_EQ(Field(lines[2], "expire"), expires == 0 ? "0" : HexTime(expires));
        EXPECT_EQ(Field(lines[3], "sync"), HexTime(FileTimeFromDosTime(r.lastSyncDos)));
        EXPECT_EQ(Field(lines[3], "hits"), std::to_string(r.hitCount));
        EXPECT_EQ(Field(lines[3], "hdr"), std::to_string(r.headers.size()));
        if (r.localFileName) {
            names.push_back(r.localFileName->substr(r.localFileName->rfind('/') + 1));
        }
    }
    // Names decode to the spelling found on disk.
    EXPECT_NE(std::find(names.begin(), names.end(), "für[0].swf"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "Ã¼beræ—¥[0].swf"), names.end());
}

TEST(FindContainers, KnowsTheLayoutsOfVistaXpAndABareFolder) {
    test::TempFolder temp;
    const auto touch = [&temp](const std::string& relative) {
        const std::string path = temp / relative;
        test::MakeFolders(path.substr(0, path.rfind('/')));
        test::WriteFile(path, "x");
    };
    touch("vista/INetCache/Content.IE5/index.dat");
    touch("vista/INetCookies/index.dat");
    touch("vista/History/History.IE5/index.dat");
    touch("vista/INetCache/Low/Content.IE5/index.dat");
    touch("xp/Local Settings/Temporary Internet Files/Content.IE5/index.dat");
    touch("xp/Local Settings/History/History.IE5/index.dat");
    touch("xp/Cookies/index.dat");
    touch("bare/index.dat");
    touch("odd/inetcache/content.ie5/INDEX.DAT");
    const auto folders = [](const std::vector<ContainerLocation>& found) {
        std::vector<std::string> out;
        for (const auto& c : found) {
            out.push_back(c.folder);
        }
        return out;
    };
    EXPECT_EQ(folders(FindContainers(temp / "vista/INetCache/")),
              (std::vector<std::string>{
                  temp / "vista/INetCookies", temp / "vista/History/History.IE5",
                  temp / "vista/INetCache/Content.IE5", temp / "vista/INetCache/Low/Content.IE5"}));
    EXPECT_EQ(folders(FindContainers(temp / "vista")),
              folders(FindContainers(temp / "vista/INetCache")));
    EXPECT_EQ(folders(FindContainers(temp / "xp/Local Settings/Temporary Internet Files")),
              (std::vector<std::string>{
                  temp / "xp/Cookies", temp / "xp/Local Settings/History/History.IE5",
                  temp / "xp/Local Settings/Temporary Internet Files/Content.IE5"}));
    EXPECT_EQ(folders(FindContainers(temp / "bare")), (std::vector<std::string>{temp / "bare"}));
    EXPECT_EQ(folders(FindContainers(temp / "odd/inetcache")),
              (std::vector<std::string>{temp / "odd/inetcache/content.ie5"}));
    EXPECT_TRUE(FindContainers(temp / "missing").empty());
    EXPECT_TRUE(FindContainers("").empty());
}

}  // namespace
}  // namespace pellimor
