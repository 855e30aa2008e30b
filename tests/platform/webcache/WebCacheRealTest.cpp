// The real WebCacheV01.dat of Windows 10 / Internet Explorer 11, read through the table of
// formats as the program reads it, checked row by row against esedbexport's reading of the
// same file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <regex>

#include "catalogue/CacheScan.h"
#include "ground/ByteReader.h"
#include "platform/cachefolder/CacheFormats.h"
#include "platform/fileops/PosixFileOps.h"
#include "platform/webcache/EseHeader.h"
#include "platform/webcache/WebCacheRows.h"
#include "platform/webcache/WebCacheSource.h"
#include "support/TempFolder.h"
#include "webcache/RealWebCache.h"

namespace pellimor {
namespace {

using test::ExportRow;

bool IsFlashType(const std::string& headers) {
    static const std::regex flash("content-type: application/(x-shockwave-flash|futuresplash)",
                                  std::regex::icase);
    return std::regex_search(headers, flash);
}

bool StartsAsMovie(const std::string& bytes) {
    return bytes.size() >= 4 &&
           (bytes.starts_with("FWS") || bytes.starts_with("CWS") || bytes.starts_with("ZWS")) &&
           bytes[3] >= 1 && bytes[3] <= 50;
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

// The copy with its header and the header's copy saying state, each with its XOR checksum
// made again as ESE makes it.
std::string WithState(std::string bytes, std::uint32_t state) {
    constexpr std::size_t kPageSize = 32768;
    for (std::size_t page = 0; page < 2; ++page) {
        std::uint8_t* header = reinterpret_cast<std::uint8_t*>(bytes.data()) + page * kPageSize;
        PutU32(header + webcache::kEseStateOffset, state);
        const ByteReader reader({header, kPageSize});
        std::uint32_t sum = 0x89abcdef;
        for (std::size_t at = 4; at < kPageSize; at += 4) {
            sum ^= *reader.U32(at);
        }
        PutU32(header, sum);
    }
    return bytes;
}

// The time as the terminal's --json gives it, in UTC.
std::string JsonTime(const std::optional<std::int64_t>& time) {
    char iso[32] = "null";
    const std::time_t t = static_cast<std::time_t>(time.value_or(0));
    if (time) {
        std::strftime(iso, sizeof iso, "\"%Y-%m-%dT%H:%M:%SZ\"", std::gmtime(&t));
    }
    return "\"lastModifiedUtc\": " + std::string(iso);
}

// The terminal's listing of the folder, as text and as JSON: its movies each with their
// browser, the unclean copy said once in each; the JSON.
std::string ListedInTerminal(const std::string& root) {
    int ran = 0;
    const std::string cli = "XDG_CONFIG_HOME='" + root + "/config' HOME='" + root +
                            "' " PELLIMOR_CLI " list --cache '" + root;
    const std::string json = test::RunCommand(cli + "' --json 2>&1", ran);
    const std::string text = test::RunCommand(cli + "' 2>&1", ran);
    EXPECT_EQ(Count(json, "\"source\": \"Internet Explorer\""), 12u) << json;
    EXPECT_EQ(Count(json, "was not closed cleanly"), 2u);  // the error line, the JSON field
    EXPECT_EQ(Count(json, "\"cacheError\": "), 1u);
    EXPECT_EQ(Count(text, "was not closed cleanly"), 1u) << text;
    EXPECT_EQ(Count(text, "Internet Explorer"), 12u) << text;
    return json;
}

// The entry's body is the file at path, or it is missing and the entry says so; the body.
std::optional<std::string> BodyAt(CacheSource& source, const CacheEntry& entry,
                                  const std::string& path) {
    if (!test::FileExists(path)) {
        EXPECT_FALSE(entry.localFileName.has_value());
        EXPECT_NE(entry.unreadable.find("missing"), std::string::npos) << entry.unreadable;
        return std::nullopt;
    }
    const std::string body = test::ReadFile(path);
    EXPECT_EQ(entry.localFileName, path);
    EXPECT_EQ(entry.unreadable, "");
    auto read = source.ReadBody(entry.id, 1 << 24);
    EXPECT_TRUE(read.ok() && read->bytes == body) << read.error();
    return body;
}

// The one leftover file, and nothing deleted: each entry refused with the reason.
void ExpectLeftoverAndReadOnly(CacheSource& source, const CacheEntry& entry,
                               const std::string& leftover) {
    std::vector<std::string> leftovers;
    EXPECT_TRUE(source
                    .EnumerateLeftovers([&](const std::string& path) {
                        leftovers.push_back(path);
                        return true;
                    })
                    .ok());
    EXPECT_EQ(leftovers, std::vector<std::string>{leftover});
    const Status can = source.CanDelete();
    EXPECT_NE(can.error().find("read-only"), std::string::npos);
    const auto done = source.DeleteEntries({{entry.id, entry.url, {}}, {}});
    ASSERT_EQ(done.size(), 2u);
    EXPECT_EQ(done[1].error(), can.error());
}

const struct {
    const char* userFolder;  // below the folder given
    bool upper;
} kLayouts[] = {
    {"Users/Administrator", false},
    {"prefix/drive_c/users/Administrator", false},
    {"disk/USERS/ADMINISTRATOR", true},
};

// Every row of the Content container as esedbexport reads it: address, times, size, and
// whether the program lists it as a movie (by the rule, from the file the script made). The
// terminal lists those movies, each with its time in UTC and its browser, and says once in
// its text and once in --json that the copy was not closed.
TEST(WebCacheReal, EveryRowAsEsedbexportReadsItWhereverTheUserFolderLies) {
    const std::string bytes = test::RealWebCacheBytes();
    ASSERT_EQ(bytes.size(), 16u << 20);
    for (const auto& layout : kLayouts) {
        SCOPED_TRACE(layout.userFolder);
        test::TempFolder temp;
        const std::string user = temp / layout.userFolder;
        test::LayOutWebCache(user, bytes, temp / "export", layout.upper);
        const std::vector<ExportRow> rows = test::ExportTable(temp / "export", "Container_1");
        ASSERT_EQ(rows.size(), 46u);
        const std::string container = layout.upper
                                          ? user + "/APPDATA/LOCAL/MICROSOFT/WINDOWS/INETCACHE/IE/"
                                          : user + "/AppData/Local/Microsoft/Windows/INetCache/IE/";
        const std::vector<ExportRow> containers = test::ExportTable(temp / "export", "Containers");
        const std::string secure = containers.at(0).at("SecureDirectories");
        ASSERT_EQ(secure.size(), 32u);

        PosixFileOps files;
        FoundCaches found = FindCaches(files, temp.path(), {});
        ASSERT_EQ(found.sources.size(), 1u);
        CacheSource& source = *found.sources.front();
        EXPECT_EQ(source.Name(), "Internet Explorer");
        std::map<std::uint64_t, CacheEntry> entries;  // by EntryId
        const Status status = source.Enumerate([&](const CacheEntry& entry) {
            entries.emplace(entry.id.locator, entry);
            return true;
        });
        // Windows was running when this copy was taken: said once.
        ASSERT_FALSE(status.ok());
        EXPECT_EQ(Count(status.error(), "was not closed cleanly"), 1u);
        EXPECT_EQ(Count(status.error(), "entries may be missing"), 1u);
        ASSERT_EQ(entries.size(), rows.size());
        const std::string json = ListedInTerminal(temp.path());
        std::size_t movies = 0, unreadable = 0;
        for (const ExportRow& row : rows) {
            SCOPED_TRACE(row.at("Url"));
            const auto listed = entries.find(std::stoull(row.at("EntryId")));
            ASSERT_NE(listed, entries.end());
            const CacheEntry& entry = listed->second;
            EXPECT_EQ(entry.url.value_or(""), row.at("Url"));
            EXPECT_EQ(entry.sourceName, "Internet Explorer");
            EXPECT_EQ(entry.lastModified, test::ExportTime(row.at("ModifiedTime")));
            EXPECT_EQ(entry.lastAccess, test::ExportTime(row.at("AccessedTime")));
            EXPECT_EQ(entry.expires, test::ExportTime(row.at("ExpiryTime")));
            EXPECT_EQ(entry.size, std::stoull(row.at("FileSize")));
            const std::string headers = test::FromHex(row.at("ResponseHeaders"));
            EXPECT_EQ(entry.headers, headers);

            std::string name = row.at("Filename");
            std::string folder = secure.substr((std::stoul(row.at("SecureDirectory")) - 1) * 8, 8);
            if (layout.upper) {
                std::transform(name.begin(), name.end(), name.begin(), ::toupper);
            }
            const std::optional<std::string> body =
                BodyAt(source, entry, container + folder + "/" + name);
            unreadable += !body;
            const bool movie = std::regex_search(name, std::regex("\\.swf$", std::regex::icase)) ||
                               IsFlashType(headers) || (body && StartsAsMovie(*body));
            EXPECT_EQ(IsSwfCacheEntry(entry), movie);
            if (movie) {
                EXPECT_NE(json.find(JsonTime(test::ExportTime(row.at("ModifiedTime")))),
                          std::string::npos);
            }
            movies += movie ? 1 : 0;
        }
        EXPECT_EQ(movies, 12u);  // one row in four got a movie
        EXPECT_EQ(unreadable, 11u);
        ExpectLeftoverAndReadOnly(source, entries.begin()->second,
                                  container + secure.substr(0, 8) + "/" +
                                      (layout.upper ? "LEFTOVER[1].BIN" : "leftover[1].bin"));
    }
}

// A copy closed cleanly reads whole, without a word of missing rows, also with the 240 of
// its 512 pages the database does not use overwritten: those are not read. A copy that
// cannot be opened, or whose tables cannot be read, gives an error naming the file (what
// libesedb does with damage anywhere is the fuzz target's: fuzz_webcache_esedb).
TEST(WebCacheReal, DamagedCopiesGiveAnErrorNamingTheFile) {
    const std::string bytes = WithState(test::RealWebCacheBytes(), webcache::kEseCleanShutdown);
    constexpr std::size_t kPageSize = 32768;
    test::TempFolder temp;
    const std::string folder = temp / ("Users/Administrator/" + test::kWebCacheBelowUser);
    test::MakeFolders(folder);
    const auto read = [&](const std::string& copy) -> Result<std::size_t> {
        test::WriteFile(folder + "/WebCacheV01.dat", copy);
        auto source = webcache::WebCacheSource::Open(folder);
        if (!source.ok()) {
            return Fail("not opened: " + source.error());
        }
        std::size_t entries = 0;
        const Status status = source.value()->Enumerate([&](const CacheEntry&) {
            ++entries;
            return true;
        });
        return status.ok() ? Result<std::size_t>(entries) : Fail(status.error());
    };
    std::string unused = bytes;
    std::uint32_t noise = 12345;
    for (std::size_t at = 0; at < unused.size(); at += kPageSize) {
        if (unused.find_first_not_of('\0', at) >= at + kPageSize) {
            for (std::size_t i = at; i < at + kPageSize; ++i) {
                noise = noise * 1103515245 + 12345;
                unused[i] = static_cast<char>(noise >> 16);
            }
        }
    }
    for (const std::string& whole : {bytes, unused}) {
        const auto entries = read(whole);
        ASSERT_TRUE(entries.ok()) << entries.error();
        EXPECT_EQ(*entries, 46u);
    }
    // Cut inside its header, and cut after its two headers.
    for (const std::size_t size : {std::size_t{100}, 2 * kPageSize}) {
        const auto entries = read(bytes.substr(0, size));
        ASSERT_FALSE(entries.ok());
        EXPECT_EQ(entries.error().rfind("not opened: ", 0) == 0, size == 100) << entries.error();
        EXPECT_NE(entries.error().find("WebCacheV01.dat"), std::string::npos) << entries.error();
    }
}

}  // namespace
}  // namespace pellimor
