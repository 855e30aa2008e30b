// What every pellimor-cli command has in common, end to end through the real program: one
// table of exit statuses, error lines that start with "pellimor-cli:", a usage per command,
// and columns that line up on the terminal whatever the names are written in.
#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <sstream>

#include "platform/urlcache/CacheWriter.h"
#include "support/Outcome.h"
#include "support/TempFolder.h"

namespace pellimor {
namespace {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

struct Output {
    int status = -1;
    std::string out;
    std::string err;
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

class CliConventionsTest : public ::testing::Test {
  protected:
    test::TempFolder temp;
    std::string cache;
    void SetUp() override {
        ASSERT_EQ(Run("demo '" + temp.path() + "/profile'").status, kDone);
        cache = temp / "profile/INetCache";
        test::MakeFolders(temp / "out");
    }
    // Standard output and standard error apart, so that each can be checked on its own.
    Output Run(const std::string& arguments) const {
        Output o;
        test::RunCommand("XDG_CONFIG_HOME='" + temp.path() + "/config' HOME='" + temp.path() +
                             "' " + PELLIMOR_CLI + " " + arguments + " >'" + temp.path() +
                             "/stdout' 2>'" + temp.path() + "/stderr' </dev/null",
                         o.status);
        o.out = test::ReadFile(temp / "stdout");
        o.err = test::ReadFile(temp / "stderr");
        return o;
    }
    std::string Filled(std::string text) const {
        for (const auto& [key, value] : {std::pair<std::string, std::string>{"{cache}", cache},
                                         {"{out}", temp / "out"},
                                         {"{temp}", temp.path()}}) {
            for (auto at = text.find(key); at != std::string::npos; at = text.find(key)) {
                text.replace(at, key.size(), "'" + value + "'");
            }
        }
        return text;
    }
};

void ExpectErrorLinesMarked(const Output& o) {
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
    const StatusRow rows[] = {
        {"list of everything", "list --cache {cache}", kDone, ""},
        {"list of a site no site contains", "list --site nosuch --cache {cache}", kUsage,
         "--site nosuch: no site of this cache contains it; the closest: "},
        {"list given a NAME", "list rocket --cache {cache}", kUsage, "list takes no NAME"},
        {"list given an option of save", "list --to {out} --cache {cache}", kUsage,
         "--to is not an option of list"},
        {"list of no cache", "list --cache {temp}/nothing", kFailed, "no browser cache"},
        {"save of a NAME the cache lacks", "save nosuch --to {out} --cache {cache}", kUsage,
         "nothing in this listing matches nosuch; nothing saved"},
        {"save of a NAME the cache lacks beside one it has",
         "save rocket nosuch --to {out} --cache {cache}", kUsage, "nothing saved"},
        {"save of a site the cache lacks", "save --all --site nosuch --to {out} --cache {cache}",
         kUsage, "no site of this cache contains it"},
        {"save given an option of delete", "save rocket --yes --to {out} --cache {cache}", kUsage,
         "--yes is not an option of save"},
        {"save of nothing", "save --to {out} --cache {cache}", kUsage, "--all"},
        {"delete of a NAME the cache lacks", "delete nosuch --yes --cache {cache}", kUsage,
         "nothing in this listing matches nosuch; nothing deleted"},
        {"delete of a NAME two movies share", "delete intro --yes --cache {cache}", kUsage,
         "intro: 2 movies have this name"},
        {"delete without an answer", "delete rocket --cache {cache}", kFailed,
         "not deleting without confirmation"},
        {"delete of a read-only cache", "delete rocket --yes --read-only --cache {cache}", kFailed,
         "nothing deleted"},
        {"delete given --json", "delete rocket --json --cache {cache}", kUsage,
         "--json is not an option of delete"},
        {"folder given two folders", "folder {out} {out}", kUsage,
         "folder takes at most one folder"},
        {"folder given an option", "folder --bogus", kUsage, "unknown option --bogus"},
        {"folder of a file", "folder {temp}/stdout", kUsage, "is not a folder"},
        {"demo with a code page it cannot use", "demo --codepage 500 {temp}/second", kUsage,
         "not supported"},
        {"demo of two folders", "demo {temp}/a {temp}/b", kUsage, "demo takes one folder"},
        {"an unknown command", "frobnicate", kUsage, "unknown command frobnicate"},
        {"an unknown option", "list --bogus --cache {cache}", kUsage, "unknown option --bogus"},
        {"a code page it cannot decode", "list --codepage 99999 --cache {cache}", kUsage,
         "not supported"},
    };
    for (const StatusRow& row : rows) {
        SCOPED_TRACE(row.what);
        const Output o = Run(Filled(row.command));
        EXPECT_EQ(o.status, row.status) << o.err;
        EXPECT_NE(o.err.find(row.said), std::string::npos) << o.err;
        ExpectErrorLinesMarked(o);
    }
    // Nothing refused was done: the movies named beside an unknown one were not saved.
    EXPECT_FALSE(test::FileExists(temp / "out/rocket.swf"));
}

// The refusal names the code pages that are accepted, and each of them is.
TEST_F(CliConventionsTest, ACodePageRefusalListsTheAcceptedOnes) {
    const Output refused = Run(Filled("list --codepage 1140 --cache {cache}"));
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
    for (const char* needed : {"1250", "1252", "1254", "437", "850", "932", "65001"}) {
        EXPECT_TRUE(accepted.contains(needed)) << needed << " in " << refused.err;
    }
    for (const std::string& number : accepted) {
        SCOPED_TRACE(number);
        EXPECT_EQ(Run(Filled("list --codepage " + number + " --cache {cache}")).status, kDone);
    }
    EXPECT_FALSE(accepted.contains("1140"));
}

// An index that cannot be read at all is no empty cache: only the error is printed.
TEST_F(CliConventionsTest, ACacheThatCannotBeReadListsNothing) {
    test::WriteFile(cache + "/Content.IE5/index.dat", std::string(20000, 'g'));
    for (const char* extra : {"", "--json"}) {
        SCOPED_TRACE(extra);
        const Output o = Run(Filled("list --cache {cache} ") + extra);
        EXPECT_EQ(o.status, kFailed);
        EXPECT_EQ(o.out, "");
        EXPECT_EQ(o.err.find("No movies."), std::string::npos) << o.err;
        EXPECT_NE(o.err.find("not a URL cache index"), std::string::npos) << o.err;
        ExpectErrorLinesMarked(o);
    }
}

// ./run hands the same arguments to the window and to list: the window's /site:S starts the
// listing there, and, as in the window, on every site when none begins with S.
TEST_F(CliConventionsTest, ListReadsTheWindowsSiteArgument) {
    const Output arcade = Run(Filled("list /site:arcade --cache {cache}"));
    EXPECT_EQ(arcade.status, kDone) << arcade.err;
    EXPECT_NE(arcade.out.find("\n* arcade.example\n"), std::string::npos) << arcade.out;
    EXPECT_EQ(arcade.out.find("\nrain "), std::string::npos) << arcade.out;
    const Output unknown = Run(Filled("list /Site:nosuch --cache {cache}"));
    EXPECT_EQ(unknown.status, kDone) << unknown.err;
    EXPECT_NE(unknown.out.find("\nrain "), std::string::npos) << unknown.out;
}

TEST_F(CliConventionsTest, EachCommandHasItsOwnHelp) {
    const Output general = Run("--help");
    EXPECT_EQ(general.status, kDone);
    for (const std::string command : {"list", "save", "delete", "folder", "demo"}) {
        SCOPED_TRACE(command);
        const Output help = Run(command + " --help");
        EXPECT_EQ(help.status, kDone);
        EXPECT_EQ(help.out.rfind("Usage: pellimor-cli " + command, 0), 0u) << help.out;
        EXPECT_NE(help.out, general.out);
        EXPECT_EQ(help.err, "");
        EXPECT_EQ(Run(command + " -h").out, help.out);
        EXPECT_EQ(Run("help " + command).out, help.out);
        // Help even after other arguments, and without touching a cache.
        EXPECT_EQ(Run(command + " --cache /nonexistent something --help").out, help.out);
    }
    const std::string save = Run("save --help").out;
    EXPECT_NE(save.find("--to DIR"), std::string::npos);
    EXPECT_EQ(save.find("--all-matching"), std::string::npos);
    const std::string del = Run("delete --help").out;
    EXPECT_NE(del.find("--all-matching"), std::string::npos);
    EXPECT_NE(del.find("--yes"), std::string::npos);
    EXPECT_NE(Run("list --help").out.find("--json"), std::string::npos);
    const Output unknown = Run("frobnicate --help");
    EXPECT_EQ(unknown.status, kUsage);
    ExpectErrorLinesMarked(unknown);
}

// The commands pellimor-cli --help lists and the help of each come from one table: every
// command listed has a help of its own, the same however it is asked for.
TEST_F(CliConventionsTest, EveryCommandTheHelpListsHasAHelpOfItsOwn) {
    const std::string general = Run("--help").out;
    std::set<std::string> listed;
    const auto start = general.find("\nCommands:\n");
    ASSERT_NE(start, std::string::npos) << general;
    const auto end = general.find("\n\n", start + 1);
    for (const std::string& line : Lines(general.substr(start + 1, end - start))) {
        if (line.size() > 3 && line.starts_with("  ") &&
            std::islower(static_cast<unsigned char>(line[2]))) {
            listed.insert(line.substr(2, line.find(' ', 2) - 2));
        }
    }
    for (const char* command :
         {"list", "save", "delete", "info", "needs", "export", "saves", "folder", "demo"}) {
        EXPECT_TRUE(listed.contains(command)) << command << " missing from\n" << general;
    }
    std::set<std::string> helps;
    for (const std::string& command : listed) {
        SCOPED_TRACE(command);
        const Output help = Run(command + " --help");
        EXPECT_EQ(help.status, kDone);
        EXPECT_EQ(help.err, "");
        EXPECT_EQ(help.out.rfind("Usage: pellimor-cli " + command + " ", 0), 0u) << help.out;
        EXPECT_EQ(Run("help " + command).out, help.out);
        EXPECT_EQ(Run(command + " -h").out, help.out);
        helps.insert(help.out);
    }
    EXPECT_EQ(helps.size(), listed.size());
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

TEST(CliColumnsTest, ColumnsLineUpByTheCellsDrawnNotByBytes) {
    test::TempFolder temp;
    CacheProfileWriter writer(temp / "Windows", indexdat::Flavour::kInternetExplorer, 11);
    // Names as wide as each other in cells, not in bytes; two share a name for the
    // refusal's table.
    const std::pair<const char*, const char*> movies[] = {
        {"http://jp.example/a.swf", "ロケット"},            // 8 cells, 12 bytes
        {"http://tr.example/b.swf", "çalışma1"},            // 8 cells, 11 bytes
        {"http://en.example/c.swf", "rocket01"},            // 8 cells, 8 bytes
        {"http://jp.example/wide/d.swf", "猫"},             // 2 cells, 3 bytes
        {"http://çok.example/twice/d.swf", "猫"},           // a site of 11 cells in 12 bytes
        {"http://xx.example/e.swf", "e\xCC\x81t\xC3\xA9"},  // "été" with a combining accent
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
    const auto run = [&](const std::string& arguments, int& status) {
        return test::RunCommand("XDG_CONFIG_HOME='" + temp.path() + "/config' HOME='" +
                                    temp.path() + "' " + PELLIMOR_CLI + " " + arguments +
                                    " --codepage 65001 --cache '" + writer.cacheFolder() +
                                    "' 2>&1 </dev/null",
                                status);
    };
    int status = 0;
    const std::string listing = run("list", status);
    ASSERT_EQ(status, 0) << listing;
    for (const auto& [url, name] : movies) {
        EXPECT_NE(listing.find(std::string("\n") + name + " "), std::string::npos) << listing;
    }
    EXPECT_EQ(AddressColumns(listing).size(), 1u) << listing;
    const std::string refusal = run("delete 猫 --yes", status);
    EXPECT_EQ(status, 2) << refusal;
    EXPECT_EQ(AddressColumns(refusal).size(), 1u) << refusal;
    const std::string shown = run("delete ロケット çalışma1 rocket01 --yes", status);
    EXPECT_EQ(status, 0) << shown;
    const auto table = shown.substr(0, shown.find("deleted "));
    EXPECT_EQ(AddressColumns(table).size(), 1u) << shown;
}

// A cache's names and addresses cannot act on the terminal nor turn the line around: C1
// controls and direction marks are shown as \uNNNN, bytes that are no UTF-8 as \xNN.
TEST(CliEscapesTest, NamesAndAddressesCannotRearrangeTheListing) {
    test::TempFolder temp;
    CacheProfileWriter writer(temp / "Windows", indexdat::Flavour::kInternetExplorer, 11);
    const std::pair<std::string, std::string> movies[] = {
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
        ASSERT_TRUE(test::Ok(writer.AddContent(entry)));
    }
    ASSERT_TRUE(test::Ok(writer.Save()));
    int status = 0;
    const auto list = [&](const std::string& extra) {
        return test::RunCommand("XDG_CONFIG_HOME='" + temp.path() + "/config' HOME='" +
                                    temp.path() + "' " + PELLIMOR_CLI + " list" + extra +
                                    " --codepage 65001 --cache '" + writer.cacheFolder() +
                                    "' 2>&1 </dev/null",
                                status);
    };
    const std::string listing = list("");
    ASSERT_EQ(status, 0) << listing;
    for (const char* shown : {"\ncsi\\u009B2J ", "\nisolate\\u2067x ", "\nmark\\u200F ",
                              "  http://evil.example/a\\u202Efws.exe.swf\n",
                              "  http://evil.example/b\\xFF\\xC0\\xAF.swf\n",
                              "  http://evil.example/c\\u009D0;owned\\u009C.swf\n"}) {
        EXPECT_NE(listing.find(shown), std::string::npos) << shown << "\n" << listing;
    }
    for (const char* raw : {"\xC2\x9B", "\xC2\x9C", "\xC2\x9D", "\xE2\x80\xAE", "\xE2\x81\xA7",
                            "\xE2\x80\x8F", "\xFF", "\xC0"}) {
        EXPECT_EQ(listing.find(raw), std::string::npos) << listing;
    }
    // The JSON listing keeps the texts, escaped as JSON escapes them.
    const std::string json = list(" --json");
    ASSERT_EQ(status, 0) << json;
    EXPECT_NE(json.find("\"url\": \"http://evil.example/a\\u202efws.exe.swf\""), std::string::npos)
        << json;
    EXPECT_NE(json.find("\"displayName\": \"csi\\u009b2J\""), std::string::npos) << json;
    EXPECT_EQ(json.find("\xE2\x80\xAE"), std::string::npos) << json;
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
        EXPECT_NE(test::ReadFile(header).find("#define PELLIMOR_VERSION_TEXT \"9.8.7\"\n"),
                  std::string::npos)
            << test::ReadFile(header);
    }
}

}  // namespace
}  // namespace pellimor
