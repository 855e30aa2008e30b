// A cache folder swapped for a link between the listing and the delete: for every format
// that deletes, the link's target is left as it was, byte for byte, and the delete says why
// it stopped. WinINet's is raced through pellimor-cli in app/CliDeleteRaceTest.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <memory>

#include "app/CliRun.h"
#include "platform/chromium/SimpleCache.h"
#include "platform/firefox/Cache2.h"
#include "support/ChromiumSimpleWriter.h"
#include "support/FirefoxCache2Writer.h"
#include "support/TempFolder.h"

namespace pellimor {
namespace {

const std::string kMovie = std::string("FWS\x08\x20\x00\x00\x00", 8) + std::string(24, '\x11');
constexpr const char* kUrl = "http://games.example/rocket.swf";

struct Format {
    const char* name;
    // Makes a cache holding kUrl below root; the folder to give the source.
    std::function<std::string(const std::string& root)> make;
    std::function<std::unique_ptr<CacheSource>(const std::string& folder)> open;
};

const Format kFormats[] = {
    {"Chrome's simple cache",
     [](const std::string& root) {
         const std::string folder = root + "/Cache_Data";
         test::MakeFolders(folder);
         test::WriteSimpleIndex(folder);
         test::SimpleEntrySpec spec;
         spec.key = std::string("1/0/_dk_http://games.example http://games.example ") + kUrl;
         spec.body = kMovie;
         spec.headerLines = {"HTTP/1.1 200 OK", "Content-Type: application/x-shockwave-flash"};
         test::WriteSimpleEntry(folder, 0x1111, spec);
         return folder;
     },
     [](const std::string& folder) -> std::unique_ptr<CacheSource> {
         return std::make_unique<ChromiumSimpleCache>(folder);
     }},
    {"Firefox's cache2",
     [](const std::string& root) {
         const std::string folder = root + "/cache2";
         test::MakeFolders(folder + "/entries");
         test::Cache2EntrySpec spec;
         spec.key = std::string(":") + kUrl;
         spec.body = kMovie;
         spec.responseHead = "HTTP/1.1 200 OK\r\nContent-Type: application/x-shockwave-flash\r\n";
         test::WriteCache2Entry(folder + "/entries", spec);
         return folder;
     },
     [](const std::string& folder) -> std::unique_ptr<CacheSource> {
         auto opened = FirefoxCache2::Open(folder);
         EXPECT_TRUE(opened.ok()) << opened.error();
         return opened.ok() ? std::move(opened).value() : nullptr;
     }},
};

TEST(SwappedFolder, ADeleteNeverFollowsAFolderSwappedForALinkAfterTheListing) {
    for (const Format& format : kFormats) {
        SCOPED_TRACE(format.name);
        test::TempFolder temp;
        const std::string folder = format.make(temp / "user");
        // The target: a copy of the same cache, which a delete following the link would change.
        int status = 0;
        test::RunCommand("cp -a '" + temp.path() + "/user' '" + temp.path() + "/target'", status);
        ASSERT_EQ(status, 0);
        const std::string linked = folder.substr(0, folder.find("/user/")) + "/user";
        std::unique_ptr<CacheSource> source = format.open(folder);
        ASSERT_NE(source, nullptr);
        std::optional<CacheEntryRef> chosen;
        ASSERT_TRUE(source
                        ->Enumerate([&](const CacheEntry& entry) {
                            if (entry.url == kUrl) {
                                chosen = CacheEntryRef{entry.id, entry.url, entry.localFileName};
                            }
                            return true;
                        })
                        .ok());
        ASSERT_TRUE(chosen.has_value());
        const auto before = test::Snapshot(temp / "target");
        ASSERT_EQ(::rename(linked.c_str(), (temp / "moved").c_str()), 0);
        ASSERT_EQ(::symlink((temp / "target").c_str(), linked.c_str()), 0);

        const Status deleted = source->DeleteEntries({*chosen}).front();
        EXPECT_EQ(test::Snapshot(temp / "target"), before);
        EXPECT_FALSE(deleted.ok());
        EXPECT_NE(deleted.error().find("is no longer the folder that was listed"),
                  std::string::npos)
            << deleted.error();
    }
}

}  // namespace
}  // namespace pellimor
