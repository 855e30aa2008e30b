// What a curation for the web-game archive needs beyond the files: the values only a person
// can give (tags, the library, a language when the cache says none), the archive's launcher
// path, and the rules that decide whether an export is ready to hand in.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pellimor {

// The archive's Flash player, as its curators write the Application Path.
inline constexpr std::string_view kFlashApplicationPath =
    "FPSoftware\\Flash\\flashplayer_32_sa.exe";

struct CurationChoices {
    std::string language;  // --language: ISO 639-1 codes, used when the cache says none
    std::string tags;      // --tags: "Puzzle; Arcade"
    std::string library = "arcade";
    std::string applicationPath = std::string(kFlashApplicationPath);
    // Where the user gives tags and languages, for Curation Notes and what is not ready.
    std::string tagsGiven = "with --tags";
    std::string languageGiven = "with --language";
};

// The ISO 639-1 codes of a page's lang attribute or a Content-Language header ("en-US",
// "en, fr", "EN"): "en" or "en; fr"; nothing when no part is a two-letter code.
std::optional<std::string> LanguageCodes(std::string_view text);

// The lang attribute of a page's <html> element, when it has one.
std::optional<std::string> HtmlLang(std::string_view page);

// "Puzzle;Arcade ; " -> "Puzzle; Arcade": the archive's list form.
std::string TagList(std::string_view text);

// https -> http: the archive serves its content over http.
std::string HttpAddress(std::string_view address);

}  // namespace pellimor
