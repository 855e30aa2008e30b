// The curation's own values from what a cache says: languages from a page's lang attribute
// or a Content-Language header, tags in the archive's list form, http launch addresses.
#include <gtest/gtest.h>

#include "files/Curation.h"

namespace pellimor {
namespace {

TEST(CurationTest, LanguageCodesAreIso6391) {
    const std::pair<const char*, const char*> cases[] = {
        {"en", "en"},      {"en-US", "en"},   {"EN_gb", "en"}, {"de-AT, en", "de; en"},
        {" fr ;fr", "fr"}, {"x-klingon", ""}, {"eng", ""},     {"", ""},
        {"zh-Hant", "zh"}, {"e1", ""},        {"*", ""},       {"pt-BR,pt;q=0.9", "pt"},
    };
    for (const auto& [text, codes] : cases) {
        EXPECT_EQ(LanguageCodes(text).value_or(""), codes) << text;
    }
}

TEST(CurationTest, TheLangOfThePagesHtmlElement) {
    const std::pair<std::string, const char*> cases[] = {
        {"<!DOCTYPE html><html lang=\"tr\"><body>", "tr"},
        {"<HTML LANG='pt-BR' dir=ltr>", "pt-BR"},
        {"<html xml:lang=en>", "en"},
        {"<html><body lang=\"fr\">", ""},  // only the document's own element counts
        {"<htmlx lang=\"fr\"><html>", ""},
        {"<html data-lang=\"fr\" class=x>", ""},
        {"<html", ""},
        {"no markup", ""},
    };
    for (const auto& [page, lang] : cases) {
        EXPECT_EQ(HtmlLang(page).value_or(""), lang) << page;
    }
}

TEST(CurationTest, TagsAndLaunchAddresses) {
    EXPECT_EQ(TagList(" Puzzle;Arcade ;; Logic "), "Puzzle; Arcade; Logic");
    EXPECT_EQ(TagList(" ; "), "");
    EXPECT_EQ(HttpAddress("HTTPS://a.example/x.swf"), "http://a.example/x.swf");
    EXPECT_EQ(HttpAddress("http://a.example/x.swf"), "http://a.example/x.swf");
    EXPECT_EQ(HttpAddress("https:/"), "https:/");
}

}  // namespace
}  // namespace pellimor
