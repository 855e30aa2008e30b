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
#include "platform/urlcache/ContainerChecker.h"
#include "platform/urlcache/ContainerView.h"
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

// One live record of a container as our reader sees it.
struct Listed {
    std::string fileName;
    std::string folder;
};

std::multimap<std::string, Listed> ListContainer(const std::string& indexPath,
                                                 std::vector<std::string>* problems = nullptr) {
    const std::string text = test::ReadFile(indexPath);
    const std::vector<std::uint8_t> bytes(text.begin(), text.end());
    const auto view = indexdat::ContainerView::Open(bytes);
    EXPECT_TRUE(view) << indexPath << ": " << view.error();
    std::multimap<std::string, Listed> listed;
    if (!view) {
        return listed;
    }
    (void)view->ForEachLiveUrl(
        [&](const indexdat::RawUrlRecord& record, const indexdat::HashItem&) {
            Listed entry;
            entry.fileName = std::string(record.fileName.value_or(""));
            if (record.subfolder < view->header().subfolders.size()) {
                entry.folder = view->header().subfolders[record.subfolder].name;
            }
            listed.emplace(std::string(record.url.value_or("")), entry);
            return true;
        });
    if (problems != nullptr) {
        *problems = indexdat::CheckContainer(*view);
    }
    return listed;
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

    // Every address of the three containers our writer made.
    std::vector<std::string> AllAddresses() const {
        std::vector<std::string> urls;
        for (const std::string& index : {content(), windows_ + "/INetCookies/index.dat",
                                         windows_ + "/History/History.IE5/index.dat"}) {
            for (const auto& [url, entry] : ListContainer(index)) {
                urls.push_back(url);
            }
        }
        return urls;
    }

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
    const std::vector<std::string> urls = AllAddresses();
    ASSERT_EQ(urls.size(), 16u);  // 12 movies and two pages, a cookie, a history entry
    const auto before = ListContainer(content());
    ASSERT_EQ(before.count(victim), 1u);
    ASSERT_EQ(before.count(again), 1u);
    const Listed victimFile = before.find(victim)->second;
    const std::string victimPath = fs::path(content()).parent_path().string() + "/" +
                                   victimFile.folder + "/" + victimFile.fileName;
    ASSERT_TRUE(test::FileExists(victimPath));

    std::vector<std::pair<std::string, std::string>> steps;
    for (const std::string& url : urls) {
        steps.emplace_back("info", url);
    }
    steps.insert(steps.end(), {{"delete", victim}, {"commit", again}, {"info", again}});
    const auto lines = Probe(steps);
    for (const std::string& url : urls) {
        EXPECT_EQ(lines.count("info ok " + url), 1u + (url == again))
            << "Wine did not find " << url;
    }
    EXPECT_EQ(lines.count("delete ok " + victim), 1u);
    ASSERT_EQ(lines.count("commit ok " + again), 1u);
    const std::string committed = lines.find("commit ok " + again)->second;
    EXPECT_EQ(std::prev(lines.upper_bound("info ok " + again))->second, committed);

    std::vector<std::string> problems;
    const auto after = ListContainer(content(), &problems);
    EXPECT_EQ(after.count(victim), 0u);
    EXPECT_EQ(after.size(), before.size() - 1);
    EXPECT_FALSE(test::FileExists(victimPath)) << "Wine removed another entry's file";
    ASSERT_EQ(after.count(again), 1u);
    EXPECT_EQ(committed.substr(committed.rfind('\\') + 1), after.find(again)->second.fileName);
    EXPECT_EQ(problems, std::vector<std::string>{});
}

}  // namespace
}  // namespace pellimor
