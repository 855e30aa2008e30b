// Caches made hostile the ways a stranger's disk can be: links out of the cache folder,
// special files in place of movies and indexes, impossible sizes. Each row runs the real terminal
// program on a damaged demo cache and checks that it ends with a clear message, never hangs,
// and touches nothing outside the cache folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "app/CliRun.h"
#include "platform/urlcache/CacheWriter.h"
#include "support/Outcome.h"

namespace pellimor {
namespace {

namespace fs = std::filesystem;

struct Hostile {
    test::TempFolder temp;
    std::string cache;  // the INetCache folder handed to the program
    std::string content;
    std::string outside;

    Hostile() {
        int status = 0;
        test::RunCommand(std::string(PELLIMOR_CLI) + " demo '" + temp.path() + "/profile'", status);
        cache = temp / "profile/INetCache";
        content = cache + "/Content.IE5";
        outside = temp / "outside";
        test::MakeFolders(outside);
        test::MakeFolders(temp / "out");
        test::WriteFile(outside + "/victim.swf", "FWS victim");
        test::WriteFile(outside + "/secret.txt", "root:secret");
    }
    // The cached file of a demo movie, wherever the writer put it.
    std::string CachedFile(const std::string& name) const {
        return test::CachedFile(content, name);
    }
    void Replace(const std::string& path, const std::function<void(const std::string&)>& make) {
        fs::remove(path);
        make(path);
    }
};

void Link(const std::string& target, const std::string& at) {
    ASSERT_EQ(::symlink(target.c_str(), at.c_str()), 0) << at;
}

void Fifo(const std::string& at) {
    ASSERT_EQ(::mkfifo(at.c_str(), 0644), 0) << at;
}

struct Row {
    const char* what;
    std::function<void(Hostile&)> arrange;
    std::string command;  // after "pellimor-cli", with {cache} and {out} replaced
    int status;           // the exit status wanted; -1: any but 0
    const char* said;     // a part of what the program must say ("" for nothing)
    const char* unsaid;   // what it must not list or say ("" for nothing)
};

const Row kRows[] = {
    {"a leftover folder linked outside lists nothing there and deletes nothing there",
     [](Hostile& h) { Link(h.outside, h.content + "/ZZZZ9999"); },
     "delete --leftovers victim --yes --cache {cache}", -1, "nothing deleted", ""},
    {"a folder linked to the folders above is not walked",
     [](Hostile& h) { Link("../../..", h.content + "/ZZZZ9999"); },
     "list --leftovers --cache {cache}", 0, "lostgame", "victim"},
    {"a cached file linked to a secret is not copied",
     [](Hostile& h) {
         h.Replace(h.CachedFile("rocket"), [&](auto& p) { Link(h.outside + "/secret.txt", p); });
     },
     "save rocket --to {out} --cache {cache}", -1, "leads outside the cache folder", "root:secret"},
    {"a cached file linked to a FIFO outside does not hang the save",
     [](Hostile& h) {
         Fifo(h.outside + "/pipe");
         h.Replace(h.CachedFile("rocket"), [&](auto& p) { Link(h.outside + "/pipe", p); });
     },
     "save rocket --to {out} --cache {cache}", -1, "rocket", ""},
    // info reads the cached file for its facts, apart from the copy (a FIFO and /dev/zero
    // given to it: CliInfoTest).
    {"info does not read a cached file linked outside",
     [](Hostile& h) {
         h.Replace(h.CachedFile("main"), [&](auto& p) { Link(h.outside + "/victim.swf", p); });
     },
     "info main --cache {cache}", 1, "leads outside the cache folder", "signature"},
    {"a 4 GB sparse index is refused before it is copied",
     [](Hostile& h) { fs::resize_file(h.content + "/index.dat", 4ULL << 30); },
     "delete rocket --yes --cache {cache}", -1, "which no container can", ""},
    {"an index that is a FIFO is named as one",
     [](Hostile& h) { h.Replace(h.content + "/index.dat", [](auto& p) { Fifo(p); }); },
     "list --cache {cache}", -1, "is a FIFO", "no index.dat was found"},
    {"an index that is a folder is named as one",
     [](Hostile& h) { h.Replace(h.content + "/index.dat", [](auto& p) { test::MakeFolders(p); }); },
     "list --cache {cache}", -1, "is a folder", "no index.dat was found"},
    {"an index linked to a device is named as one",
     [](Hostile& h) { h.Replace(h.content + "/index.dat", [](auto& p) { Link("/dev/zero", p); }); },
     "list --cache {cache}", -1, "is a device", "no index.dat was found"},
    {"an entry without an address is deleted by its record",
     [](Hostile& h) {
         CacheProfileWriter writer(h.temp / "bare", indexdat::Flavour::kInternetExplorer, 7);
         ContentEntry entry;
         entry.body = "FWS";
         entry.extension = "swf";
         entry.nameBase = "nourl";
         ASSERT_TRUE(test::Ok(writer.AddContent(entry)));
         ASSERT_TRUE(test::Ok(writer.Save()));
         h.cache = writer.cacheFolder();
     },
     "delete nourl --yes --cache {cache}", 0, "deleted", ""},
};

void ExpectEndsClearlyAndTouchesNothingOutside(const Row& row) {
    Hostile h;
    row.arrange(h);
    ASSERT_FALSE(::testing::Test::HasFatalFailure());
    const auto before = test::Snapshot(h.outside);
    int status = 0;
    // The time limit only stops a hang from stalling the suite; 124 or a kill fails the row.
    const std::string out = test::RunCommand(
        "cd '" + h.temp.path() + "' && XDG_CONFIG_HOME='" + h.temp.path() + "/config' HOME='" +
            h.temp.path() + "' timeout -s KILL 120 " + PELLIMOR_CLI + " " +
            test::Filled(row.command, {{"{cache}", h.cache}, {"{out}", h.temp / "out"}}) + " 2>&1",
        status);
    if (row.status < 0) {
        EXPECT_NE(status, 0) << out;
        EXPECT_NE(status, 124) << "hung: " << out;
    } else {
        EXPECT_EQ(status, row.status) << out;
    }
    EXPECT_NE(out.find(row.said), std::string::npos) << out;
    if (*row.unsaid != '\0') {
        EXPECT_EQ(out.find(row.unsaid), std::string::npos) << out;
    }
    EXPECT_EQ(test::Snapshot(h.outside), before) << "a file outside the cache changed";
    EXPECT_TRUE(fs::is_empty(h.temp / "out")) << "something was saved from outside the cache";
    if (std::string(row.what).find("without an address") != std::string::npos) {
        int listed = 0;
        const std::string after =
            test::RunCommand(std::string(PELLIMOR_CLI) + " list --cache '" + h.cache + "'", listed);
        EXPECT_EQ(after.find("nourl"), std::string::npos) << after;
    }
}

TEST(HostileCacheTest, EndsClearlyAndTouchesNothingOutside) {
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.what);
        ExpectEndsClearlyAndTouchesNothingOutside(row);
    }
}

}  // namespace
}  // namespace pellimor
