#include <gtest/gtest.h>

#include "app/CommandLine.h"

namespace pellimor {
namespace {

TEST(CMovieApp, FindsTheInitialSiteAsTheProgramAlwaysHas) {
    const struct {
        std::vector<std::string> args;
        std::string site;
    } cases[] = {
        {{}, ""},
        {{"/site:alpha.beta"}, "alpha.beta"},
        {{"-SITE:Alpha.Beta"}, "Alpha.Beta"},
        {{"site:alpha.beta"}, ""},
        {{"//site:alpha.beta"}, ""},
        {{"--site:alpha.beta"}, ""},
        {{"/site:x", "/site:alpha.beta"}, "alpha.beta"},
        {{"/site:ab"}, "ab"},
        {{"/site:a"}, ""},
        {{"/site:"}, ""},
        {{"/site:one", "/site:two"}, "one"},
        {{"/sitex:abc"}, ""},
        {{"/site=abc"}, ""},
        {{"/site:my site"}, "my site"},
        {{"/site:alpha.beta/some/path"}, "alpha.beta/some/path"},
        {{"--cache", "/tmp/c", "/site:games.example"}, "games.example"},
        {{"--codepage", "1254", "-Site:X:y"}, "X:y"},
        {{"plain", "/other", "/site:last"}, "last"},
    };
    for (const auto& c : cases) {
        CMovieApp app;
        app.InitInstance(c.args);
        EXPECT_EQ(app.m_strInitialSite, c.site) << ::testing::PrintToString(c.args);
    }
}

TEST(CParamCommandLineInfo, KeepsFlagsWithoutTheirMarkInOrder) {
    CParamCommandLineInfo info;
    ParseCommandLine({"/a", "b", "-c", "//d", "-"}, info);
    EXPECT_EQ(info.m_flagParams, (std::list<std::string>{"a", "c", "/d", ""}));
}

TEST(ReadProgramOptions, ReadsTheProgramsOwnOptions) {
    ProgramOptions o =
        ReadProgramOptions({"--cache", "/c", "--codepage=1254", "/site:x", "--help"});
    EXPECT_EQ(o.cacheFolder, "/c");
    EXPECT_EQ(o.codePage, 1254);
    EXPECT_TRUE(o.help);
    EXPECT_EQ(o.rest, (std::vector<std::string>{"/site:x"}));
    EXPECT_TRUE(o.error.empty());
    EXPECT_EQ(ReadProgramOptions({"--cache=/d"}).cacheFolder, "/d");
    EXPECT_FALSE(ReadProgramOptions({"--codepage", "abc"}).error.empty());
    EXPECT_FALSE(ReadProgramOptions({"--cache"}).error.empty());
    EXPECT_EQ(ReadProgramOptions({}).codePage, 1252);
}

}  // namespace
}  // namespace pellimor
