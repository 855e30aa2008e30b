// What every pellimor-cli command has in common, end to end through the real program: one
// table of exit statuses, error lines that start with "pellimor-cli:", a usage per command,
// and columns that line up on the terminal whatever the names are written in.
#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <sstream>

#include "app/CliRun.h"
#include "platform/urlcache/CacheWriter.h"
#include "support/Outcome.h"

namespace pellimor {
namespace {

using test::Has;

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

class CliConventionsTest : public test::DemoCliTest {
  protected:
    void SetUp() override {
        test::DemoCliTest::SetUp();
        test::MakeFolders(temp / "out");
    }
    // Standard output and standard error apart, so that each can be checked on its own;
    // {cache}, {out} and {temp} in arguments stand for those folders.
    test::Ran Run(const std::string& arguments) const {
        return test::Cli(
            temp.path(),
            test::Filled(arguments,
                         {{"{cache}", cache}, {"{out}", temp / "out"}, {"{temp}", temp.path()}}),
            true);
    }
};

void ExpectErrorLinesMarked(const test::Ran& o) {
    for (const std::string& line : Lines(o.err)) {
        EXPECT_EQ(line.rfind("pellimor-cli: ", 0), 0u) << "unmarked error line: " << line;
    }
}

struct StatusRow {
    const char* what;
    std::string command;  // after "pellimor-cli", {cache} {out} {temp} replaced
    int status;
    std::string said;  // a part of standard error
};

TEST_F(CliConventionsTest, EveryCommandEndsWithTheStatusOfTheTable) {
    test::WriteFile(temp / "file", "not a folder");
    const auto profile = test::Snapshot(temp / "profile");
    const StatusRow rows[] = {
        {"list of a site no site contains", "list --site nosuch --cache {cache}", kUsage,
         "--site nosuch: no site of this cache contains it; the closest: "},
        {"list given a NAME", "list rocket --cache {cache}", kUsage, "list takes no NAME"},
        {"list given an option of save", "list --to {out} --cache {cache}", kUsage,
         "--to is not an option of list"},
        {"list of no cache", "list --cache {temp}/nothing", kFailed, "no browser cache"},
        {"save of a NAME the cache lacks beside one it has",
         "save rocket nosuch --to {out} --cache {cache}", kUsage, "nothing saved"},
        {"save given an option of delete", "save rocket --yes --to {out} --cache {cache}", kUsage,
         "--yes is not an option of save"},
        {"save of nothing", "save --to {out} --cache {cache}", kUsage, "--all"},
        {"delete given --json", "delete rocket --json --cache {cache}", kUsage,
         "--json is not an option of delete"},
        {"delete of a misspelt site", "delete --site acrade snake --yes --cache {cache}", kUsage,
         "the closest: arcade.example, games.arcade.example, "},
        {"delete of a huge site text",
         "delete --site " + std::string(20000, 'x') + " snake --yes --cache {cache}", kUsage,
         "no site of this cache contains it"},
        {"delete of an address that differs by a query",
         "delete --url 'http://www.arcade.example/intro.swf?x' --yes --cache {cache}", kUsage,
         "nothing in this listing matches http://www.arcade.example/intro.swf?x; nothing deleted"},
        {"delete of an address outside the --site",
         "delete --site cartoons --url http://www.arcade.example/intro.swf --yes --cache {cache}",
         kUsage, "nothing in this listing matches"},
        {"delete of --all", "delete --all --yes --cache {cache}", kUsage, "--all is for save"},
        {"needs of a NAME the cache lacks", "needs nosuch --cache {cache}", kUsage,
         "nothing in this listing matches nosuch"},
        {"needs given --file", "needs --file x.swf --cache {cache}", kUsage,
         "--file is not an option of needs"},
        {"info given --to", "info main --to x --cache {cache}", kUsage,
         "--to is not an option of info"},
        {"info of a NAME and a file", "info main --file x.swf --cache {cache}", kUsage,
         "give no NAME or --site with it"},
        {"info given --file without a value", "info --file --cache {cache}", kUsage,
         "--file needs a value"},
        {"export to nowhere", "export main --cache {cache}", kUsage,
         "say where to export with --to DIR"},
        {"export of nothing", "export --to {temp}/x --cache {cache}", kUsage,
         "name the movies to export"},
        {"export of a NAME the cache lacks", "export nosuchmovie --to {temp}/x --cache {cache}",
         kUsage, "nothing in this listing matches"},
        {"export to a library there is not",
         "export main --library museum --to {temp}/x --cache {cache}", kUsage,
         "--library is arcade (games) or theatre (animations)"},
        {"export into a file", "export main --to {temp}/file --cache {cache}", kFailed, ""},
        {"folder given two folders", "folder {out} {out}", kUsage,
         "folder takes at most one folder"},
        {"folder given an option", "folder --bogus", kUsage, "unknown option --bogus"},
        {"folder of a file", "folder {temp}/file", kUsage, "is not a folder"},
        {"demo with a code page it cannot use", "demo --codepage 500 {temp}/second", kUsage,
         "not supported"},
        {"list in a code page no converter knows", "list --codepage 9999 --cache {cache}", kUsage,
         "code page 9999 is not supported"},
        {"demo of two folders", "demo {temp}/a {temp}/b", kUsage, "demo takes one folder"},
        {"demo into a file", "demo {temp}/file", kFailed, "/file/INetCache: Not a directory"},
        {"an unknown command", "frobnicate", kUsage, "unknown command frobnicate"},
        {"an unknown option", "list --bogus --cache {cache}", kUsage, "unknown option --bogus"},
    };
    for (const StatusRow& row : rows) {
        SCOPED_TRACE(row.what);
        const test::Ran o = Run(row.command);
        EXPECT_EQ(o.status, row.status) << o.err;
        EXPECT_TRUE(Has(o.err, row.said)) << o.err;
        ExpectErrorLinesMarked(o);
    }
    // Nothing refused was done: the movies named beside an unknown one were not saved, no
    // export wrote anywhere, no delete changed the cache.
    EXPECT_EQ(test::VisibleNames(temp / "out"), std::vector<std::string>{});
    EXPECT_EQ(test::Snapshot(temp / "profile"), profile);
    EXPECT_FALSE(test::FileExists(temp / "x"));
    EXPECT_EQ(test::ReadFile(temp / "file"), "not a folder");
}

// The refusal names the code pages that are accepted, and each of them is.
TEST_F(CliConventionsTest, ACodePageRefusalListsTheAcceptedOnes) {
    const test::Ran refused = Run("list --codepage 1140 --cache {cache}");
    EXPECT_EQ(refused.status, kUsage);
    const std::string marker = "accepted: ";
    const auto at = refused.err.find(marker);
    ASSERT_NE(at, std::string::npos) << refused.err;
    std::set<std::string> accepted;
    std::istringstream list(refused.err.substr(at + marker.size()));
    for (std::string number;
         list >> number && std::isdigit(static_cast<unsigned char>(number[0]));) {
        accepted.insert(number.substr(0, number.find_first_not_of("0123456789")));
    }
    EXPECT_TRUE(accepted.contains("1254")) << refused.err;
    for (const std::string& number : accepted) {
        SCOPED_TRACE(number);
        EXPECT_EQ(Run("list --codepage " + number + " --cache {cache}").status, kDone);
    }
    EXPECT_FALSE(accepted.contains("1140"));
}

// An index that cannot be read at all is no empty cache: only the error is printed.
TEST_F(CliConventionsTest, ACacheThatCannotBeReadListsNothing) {
    test::WriteFile(cache + "/Content.IE5/index.dat", std::string(20000, 'g'));
    for (const char* extra : {"", " --json"}) {
        SCOPED_TRACE(extra);
        const test::Ran o = Run("list --cache {cache}" + std::string(extra));
        EXPECT_EQ(o.status, kFailed);
        EXPECT_EQ(o.out, "");
        EXPECT_FALSE(Has(o.err, "No movies.")) << o.err;
        EXPECT_TRUE(Has(o.err, "not a URL cache index")) << o.err;
        ExpectErrorLinesMarked(o);
    }
}

// The commands pellimor-cli --help lists and the help of each come from one table: every
// command listed has a help of its own, the same however it is asked for, also after other
// arguments and without touching a cache.
TEST_F(CliConventionsTest, EveryCommandTheHelpListsHasAHelpOfItsOwn) {
    const test::Ran general = Run("--help");
    EXPECT_EQ(general.status, kDone);
    std::set<std::string> listed;
    const auto start = general.out.find("\nCommands:\n");
    ASSERT_NE(start, std::string::npos) << general.out;
    const auto end = general.out.find("\n\n", start + 1);
    for (const std::string& line : Lines(general.out.substr(start + 1, end - start))) {
        if (line.size() > 3 && line.starts_with("  ") &&
            std::islower(static_cast<unsigned char>(line[2]))) {
            listed.insert(line.substr(2, line.find(' ', 2) - 2));
        }
    }
    for (const char* command :
         {"list", "save", "delete", "info", "needs", "export", "saves", "folder", "demo"}) {
        EXPECT_TRUE(listed.contains(command)) << command << " missing from\n" << general.out;
    }
    std::set<std::string> helps;
    for (const std::string& command : listed) {
        SCOPED_TRACE(command);
        const test::Ran help = Run(command + " --help");
        EXPECT_EQ(help.status, kDone);
        EXPECT_EQ(help.err, "");
        EXPECT_TRUE(help.out.starts_with("Usage: pellimor-cli " + command + " ")) << help.out;
        for (const std::string& asked :
             {"help " + command, command + " -h", command + " --cache /nonexistent x --help"}) {
            EXPECT_EQ(Run(asked).out, help.out) << asked;
        }
        helps.insert(help.out);
    }
    EXPECT_EQ(helps.size(), listed.size());
    EXPECT_FALSE(helps.contains(general.out));
    const test::Ran unknown = Run("frobnicate --help");
    EXPECT_EQ(unknown.status, kUsage);
    ExpectErrorLinesMarked(unknown);
}

// The cells a terminal draws for the texts below: CJK two each, a combining accent of
// U+0300..U+033F none, every other character one.
std::size_t Cells(const std::string& text) {
    std::size_t cells = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if ((byte & 0xC0) == 0x80) {
            continue;  // a continuation byte
        }
        cells += byte == 0xCC ? 0 : byte >= 0xE3 && byte <= 0xE9 ? 2 : 1;
    }
    return cells;
}

// The cell at which the first "http" of each line starts, for lines that have one.
std::set<std::size_t> AddressColumns(const std::string& text) {
    std::set<std::size_t> columns;
    for (const std::string& line : Lines(text)) {
        const auto at = line.find("http://");
        if (at != std::string::npos) {
            columns.insert(Cells(line.substr(0, at)));
        }
    }
    return columns;
}

// Columns line up by the cells a terminal draws, not by bytes; a cache's names and addresses
// cannot act on the terminal nor turn the line around: C1 controls and direction marks are
// shown as \uNNNN, bytes that are no UTF-8 as \xNN.
TEST(CliColumnsTest, ColumnsLineUpByCellsAndNamesCannotRearrangeThem) {
    test::TempFolder temp;
    CacheProfileWriter writer(temp / "Windows", indexdat::Flavour::kInternetExplorer, 11);
    // Names as wide as each other in cells, not in bytes; two share a name for the
    // refusal's table; then names and addresses that would act on the terminal.
    const std::pair<std::string, std::string> movies[] = {
        {"http://jp.example/a.swf", "ロケット"},            // 8 cells, 12 bytes
        {"http://tr.example/b.swf", "çalışma1"},            // 8 cells, 11 bytes
        {"http://en.example/c.swf", "rocket01"},            // 8 cells, 8 bytes
        {"http://jp.example/wide/d.swf", "猫"},             // 2 cells, 3 bytes
        {"http://çok.example/twice/d.swf", "猫"},           // a site of 11 cells in 12 bytes
        {"http://xx.example/e.swf", "e\xCC\x81t\xC3\xA9"},  // "été" with a combining accent
        {"http://evil.example/a\xE2\x80\xAE"
         "fws.exe.swf",
         "csi\xC2\x9B"
         "2J"},
        {"http://evil.example/b\xFF\xC0\xAF.swf", "isolate\xE2\x81\xA7x"},
        {"http://evil.example/c\xC2\x9D"
         "0;owned\xC2\x9C.swf",
         "mark\xE2\x80\x8F"},
    };
    for (const auto& [url, name] : movies) {
        ContentEntry entry;
        entry.url = url;
        entry.body = "FWS";
        entry.extension = "swf";
        entry.nameBase = name;
        entry.lastModified = 0x01C9F6A5C4E0A000ULL;
        ASSERT_TRUE(test::Ok(writer.AddContent(entry)));
    }
    ASSERT_TRUE(test::Ok(writer.Save()));
    const auto run = [&](const std::string& arguments) {
        return test::Cli(temp.path(),
                         arguments + " --codepage 65001 --cache '" + writer.cacheFolder() + "'");
    };
    const test::Ran listing = run("list");
    ASSERT_EQ(listing.status, 0) << listing.out;
    for (const auto& [url, name] : std::span(movies).first(6)) {
        EXPECT_TRUE(Has(listing.out, "\n" + name + " ")) << listing.out;
    }
    EXPECT_EQ(AddressColumns(listing.out).size(), 1u) << listing.out;
    for (const char* shown : {"\ncsi\\u009B2J ", "\nisolate\\u2067x ", "\nmark\\u200F ",
                              "  http://evil.example/a\\u202Efws.exe.swf\n",
                              "  http://evil.example/b\\xFF\\xC0\\xAF.swf\n",
                              "  http://evil.example/c\\u009D0;owned\\u009C.swf\n"}) {
        EXPECT_TRUE(Has(listing.out, shown)) << shown << "\n" << listing.out;
    }
    const auto expectNoRawBytes = [](const std::string& out) {
        for (const char* raw : {"\xC2\x9B", "\xC2\x9C", "\xC2\x9D", "\xE2\x80\xAE", "\xE2\x81\xA7",
                                "\xE2\x80\x8F", "\xFF", "\xC0"}) {
            EXPECT_FALSE(Has(out, raw)) << out;
        }
    };
    expectNoRawBytes(listing.out);
    // The JSON listing keeps the texts, escaped as JSON escapes them.
    const test::Ran json = run("list --json");
    ASSERT_EQ(json.status, 0) << json.out;
    EXPECT_TRUE(Has(json.out, "\"url\": \"http://evil.example/a\\u202efws.exe.swf\"")) << json.out;
    EXPECT_TRUE(Has(json.out, "\"displayName\": \"csi\\u009b2J\"")) << json.out;
    EXPECT_FALSE(Has(json.out, "\xE2\x80\xAE")) << json.out;
    const test::Ran refusal = run("delete 猫 --yes");
    EXPECT_EQ(refusal.status, 2) << refusal.out;
    EXPECT_EQ(AddressColumns(refusal.out).size(), 1u) << refusal.out;
    // Shown before asking and reported deleted as in the listing.
    const test::Ran shown =
        run("delete ロケット çalışma1 rocket01 'csi\xC2\x9B"
            "2J' --yes");
    EXPECT_EQ(shown.status, 0) << shown.out;
    EXPECT_EQ(AddressColumns(shown.out.substr(0, shown.out.find("deleted "))).size(), 1u)
        << shown.out;
    EXPECT_TRUE(Has(shown.out, "\n  csi\\u009B2J ")) << shown.out;
    EXPECT_TRUE(Has(shown.out, "\ndeleted http://evil.example/a\\u202Efws.exe.swf\n")) << shown.out;
    expectNoRawBytes(shown.out);
}

// The version is the build's: the project's version, and the commit built where the sources
// are a checkout of their own; without one, the version alone.
TEST(CliVersionTest, TheVersionIsTheBuildsWithItsCommit) {
    int status = -1;
    const std::string commit = test::RunCommand(
        "git -C '" PELLIMOR_SOURCE_DIR "' rev-parse --short=12 HEAD 2>/dev/null", status);
    const std::string wanted =
        std::string("pellimor-cli " PELLIMOR_PROJECT_VERSION) +
        (status == 0 && commit.size() > 1 ? " (commit " + commit.substr(0, commit.size() - 1) + ")"
                                          : "") +
        "\n";
    EXPECT_EQ(test::RunCommand(PELLIMOR_CLI " --version", status), wanted);
    EXPECT_EQ(status, kDone);
    // Sources that are no checkout, and sources inside another project's checkout.
    test::TempFolder temp;
    test::MakeFolders(temp / "copy");
    test::MakeFolders(temp / "other/pellimor");
    EXPECT_EQ((test::RunCommand("git init -q '" + temp.path() + "/other'", status), status), 0);
    for (const char* sources : {"copy", "other/pellimor"}) {
        SCOPED_TRACE(sources);
        const std::string header = temp / (std::string(sources) + "/Version.h");
        test::RunCommand(std::string(PELLIMOR_CMAKE) + " -DSOURCE='" + temp.path() + "/" + sources +
                             "' -DVERSION=9.8.7 -DOUT='" + header +
                             "' -P '" PELLIMOR_SOURCE_DIR "/cmake/Version.cmake' 2>&1",
                         status);
        EXPECT_EQ(status, 0);
        EXPECT_TRUE(Has(test::ReadFile(header), "#define PELLIMOR_VERSION_TEXT \"9.8.7\"\n"))
            << test::ReadFile(header);
    }
}

}  // namespace
}  // namespace pellimor
