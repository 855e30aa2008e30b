// meta.yaml stays YAML whatever the cache puts in its texts: Python's yaml reads back every
// value as it was given (bytes that are no UTF-8 as their code points).
#include <gtest/gtest.h>

#include "files/ExportRun.h"
#include "files/MetaYaml.h"
#include "support/TempFolder.h"

namespace pellimor {
namespace {

TEST(MetaYamlTest, HostileTextsReadBackAsTheyWere) {
    const struct {
        std::string title;
        std::string expected;  // Python's repr of the title read back, as UTF-8 bytes
    } cases[] = {
        {"plain", "b'plain'"},
        {"a: b\n- c\n# d", "b'a: b\\n- c\\n# d'"},
        {"\"quoted\" \\ back", "b'\"quoted\" \\\\ back'"},
        {std::string("nul\0tab\tesc\x1b", 12), "b'nul\\x00tab\\tesc\\x1b'"},
        {"\xC3\xA9t\xC3\xA9 \xE2\x80\xA8 \xEF\xBB\xBF",
         "b'\\xc3\\xa9t\\xc3\\xa9 \\xe2\\x80\\xa8 \\xef\\xbb\\xbf'"},
        {"bad \xFF\xC3", "b'bad \\xc3\\xbf\\xc3\\x83'"},
        {"\xED\xA0\x80", "b'\\xc3\\xad\\xc2\\xa0\\xc2\\x80'"},
        {"&anchor *alias !tag %dir", "b'&anchor *alias !tag %dir'"},
        {"", "b''"},
    };
    test::TempFolder temp;
    for (const auto& c : cases) {
        GameMeta meta;
        meta.title = c.title;
        meta.source = "site: \"x\"";
        meta.status = "Playable";
        meta.facts = {{"Stage", "550 x 400"}};
        meta.page = MetaPage{"http://p/", "embed", "a=1&b=\n2", "", "", ""};
        meta.notes = {"Missing: http://x/a.swf", "Truncated: \x01"};
        test::WriteFile(temp / "meta.yaml", MetaYamlText(meta));
        EXPECT_EQ(test::Yaml(temp / "meta.yaml",
                             R"([d["Title"].encode("utf-8"), d["Source"], d["Export Notes"],
                             d["SWF Facts"]["Stage"], d["Embedding Page"]["Flashvars"]])"),
                  "[" + c.expected +
                      ", 'site: \"x\"', 'Missing: http://x/a.swf\\nTruncated: \\x01', "
                      "'550 x 400', 'a=1&b=\\n2']")
            << ::testing::PrintToString(c.title);
    }
}

}  // namespace
}  // namespace pellimor
