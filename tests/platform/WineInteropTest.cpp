// Wine's own WinINet on the demo cache our writer makes, placed in a fresh Wine prefix: it
// looks every entry up, deletes one itself and commits an address already present. Needs
// Debian's wine64 (scripts/install-deps.sh); skipped with the reason where Wine cannot run.
// The probe is our own program (tests/data/wininet/wine-made/generator/interop_probe.cpp).
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <sstream>

#include "app/DemoCache.h"
#include "platform/fileops/MappedFile.h"
#include "platform/urlcache/ContainerChecker.h"
#include "platform/urlcache/ContainerView.h"
#include "platform/urlcache/IndexDatCache.h"
#include "support/TempFolder.h"

namespace pellimor {
namespace {

namespace fs = std::filesystem;

const std::string kProbe =
    std::string(PELLIMOR_TEST_DATA) + "/wininet/wine-made/generator/interop_probe.exe";

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

std::string FirstExecutable(const std::vector<std::string>& candidates) {
    for (const std::string& path : candidates) {
        if (::access(path.c_str(), X_OK) == 0) {
            return path;
        }
    }
    return {};
}

// Every live record of the profile's containers, by address, as our reader lists them.
std::multimap<std::string, CacheRecord> Listed(const std::string& windows) {
    std::multimap<std::string, CacheRecord> listed;
    const Status read = IndexDatCache(windows, 1252).EnumerateRecords([&](const CacheRecord& r) {
        listed.emplace(r.url.value_or(""), r);
        return true;
    });
    EXPECT_TRUE(read.ok()) << read.error();
    return listed;
}

std::vector<std::string> Problems(const std::string& index) {
    const auto file = MappedFile::Open(index);
    if (!file) {
        return {file.error()};
    }
    const auto view = indexdat::ContainerView::Open(file->bytes());
    return view ? indexdat::CheckContainer(*view) : std::vector<std::string>{view.error()};
}

class WineInterop : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        wine_ = FirstExecutable(
            {"/usr/lib/wine/wine64", "/usr/bin/wine64", "/usr/bin/wine", "/usr/local/bin/wine"});
        wineserver_ = FirstExecutable({"/usr/lib/wine/wineserver64", "/usr/lib/wine/wineserver",
                                       "/usr/bin/wineserver", "/usr/local/bin/wineserver"});
        if (wine_.empty() || wineserver_.empty()) {
            skip_ = "Wine is not installed (scripts/install-deps.sh installs wine64)";
            return;
        }
        if (::access(kProbe.c_str(), R_OK) != 0) {
            skip_ = "the probe " + kProbe + " is missing (build-interop-probe.sh makes it)";
            return;
        }
        prefix_ = std::make_unique<test::TempFolder>();
        int status = 0;
        const std::string output = test::RunCommand(
            Environment() + "timeout -k 5 300 " + Quote(wine_) + " wineboot --init 2>&1", status);
        std::error_code ec;
        if (status == 0 && fs::is_directory(prefix_->path() + "/drive_c/users", ec)) {
            for (const auto& user : fs::directory_iterator(prefix_->path() + "/drive_c/users")) {
                if (user.path().filename() != "Public") {
                    windows_ = user.path().string() + "/AppData/Local/Microsoft/Windows";
                }
            }
        }
        if (windows_.empty()) {
            skip_ = "Wine cannot run here: wineboot exited with " + std::to_string(status) +
                    " and made no user folder: " + output.substr(0, 400);
        }
    }

    static void TearDownTestSuite() {
        if (prefix_ != nullptr) {
            int status = 0;
            test::RunCommand(Environment() + "timeout -k 5 60 " + Quote(wineserver_) + " -k 2>&1",
                             status);
            prefix_.reset();
        }
    }

    static std::string Environment() {
        return "WINEPREFIX=" + Quote(prefix_ != nullptr ? prefix_->path() : "") +
               " WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' ";
    }

    void SetUp() override {
        if (!skip_.empty()) {
            GTEST_SKIP() << skip_;
        }
        // A fresh demo cache where Wine's user profile keeps its URL cache.
        for (const char* folder : {"INetCache", "INetCookies", "History"}) {
            fs::remove_all(windows_ + "/" + folder);
        }
        const auto made = MakeDemoCache(windows_);
        ASSERT_TRUE(made) << made.error();
    }

    std::string content() const { return windows_ + "/INetCache/Content.IE5/index.dat"; }

    // Runs the probe's steps; its lines by step and address ("info ok", "info fail"...).
    std::multimap<std::string, std::string> Probe(
        const std::vector<std::pair<std::string, std::string>>& steps) const {
        std::string command =
            Environment() + "timeout -k 5 120 " + Quote(wine_) + " " + Quote(kProbe);
        for (const auto& [step, url] : steps) {
            command += " " + step + " " + Quote(url);
        }
        int status = 0;
        std::istringstream out(test::RunCommand(command + " 2>/dev/null", status));
        EXPECT_NE(status, 124) << "the probe timed out";
        EXPECT_NE(status, 2) << "the probe did not understand " << command;
        std::multimap<std::string, std::string> lines;
        for (std::string line; std::getline(out, line);) {
            // "STEP RESULT URL[\tDETAIL]", CRLF from the Windows side.
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            const auto tab = line.find('\t');
            lines.emplace(line.substr(0, tab),
                          tab == std::string::npos ? "" : line.substr(tab + 1));
        }
        return lines;
    }

    static inline std::unique_ptr<test::TempFolder> prefix_;
    static inline std::string wine_;
    static inline std::string wineserver_;
    static inline std::string windows_;
    static inline std::string skip_;
};

// Wine looks up every entry, deletes one itself and commits again an address already
// present: one record of it stays, under the name Wine gave, and the container stays whole.
TEST_F(WineInterop, WineFindsEveryEntryDeletesOneAndCommitsOneAgain) {
    const std::string victim = "http://www.arcade.example/games/snake.swf";
    const std::string again = "http://cartoons.example/intro.swf";
    const auto before = Listed(windows_);
    ASSERT_EQ(before.size(), 16u);  // 12 movies and two pages, a cookie, a history entry
    ASSERT_EQ(before.count(victim), 1u);
    ASSERT_EQ(before.count(again), 1u);
    const std::string victimPath = before.find(victim)->second.localFileName.value_or("");
    ASSERT_TRUE(test::FileExists(victimPath));

    std::vector<std::pair<std::string, std::string>> steps;
    for (const auto& [url, record] : before) {
        steps.emplace_back("info", url);
    }
    steps.insert(steps.end(), {{"delete", victim}, {"commit", again}, {"info", again}});
    const auto lines = Probe(steps);
    for (const auto& [url, record] : before) {
        EXPECT_EQ(lines.count("info ok " + url), 1u + (url == again))
            << "Wine did not find " << url;
    }
    EXPECT_EQ(lines.count("delete ok " + victim), 1u);
    ASSERT_EQ(lines.count("commit ok " + again), 1u);
    const std::string committed = lines.find("commit ok " + again)->second;
    EXPECT_EQ(std::prev(lines.upper_bound("info ok " + again))->second, committed);

    const auto after = Listed(windows_);
    EXPECT_EQ(after.count(victim), 0u);
    EXPECT_EQ(after.size(), before.size() - 1);
    EXPECT_FALSE(test::FileExists(victimPath)) << "Wine removed another entry's file";
    ASSERT_EQ(after.count(again), 1u);
    const std::string file = after.find(again)->second.localFileName.value_or("");
    EXPECT_EQ(committed.substr(committed.rfind('\\') + 1), file.substr(file.rfind('/') + 1));
    EXPECT_EQ(Problems(content()), std::vector<std::string>{});
}

}  // namespace
}  // namespace pellimor
