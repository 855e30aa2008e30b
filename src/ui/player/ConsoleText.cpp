#include "ui/player/ConsoleText.h"

#include <array>
#include <vector>

namespace pellimor {

namespace {

// The properties Ruffle's console styles use; only these count as CSS, so that a line of
// the movie's own that ends in "word: text" keeps its words.
constexpr std::array<std::string_view, 13> kStyleProperties = {
    "background",  "background-color", "border",      "border-radius", "color",
    "font-family", "font-size",        "font-style",  "font-weight",   "margin",
    "padding",     "text-decoration",  "text-shadow",
};

// "color:" or "color:red;": a property of a style declaration, its value glued on or not.
bool IsPropertyWord(std::string_view word) {
    const auto colon = word.find(':');
    if (colon == std::string_view::npos) {
        return false;
    }
    const std::string_view name = word.substr(0, colon);
    for (const std::string_view property : kStyleProperties) {
        if (name == property) {
            return word.find(':', colon + 1) == std::string_view::npos;
        }
    }
    return false;
}

}  // namespace

std::string PlainConsoleText(std::string_view line) {
    if (line.find("%c") == std::string_view::npos) {
        return std::string(line);
    }
    std::string text;
    text.reserve(line.size());
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '%' && i + 1 < line.size() && line[i + 1] == 'c') {
            ++i;
            continue;
        }
        text += line[i];
    }
    // The words, as spans of text between spaces.
    std::vector<std::pair<std::size_t, std::size_t>> words;
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        const std::size_t end = std::min(text.find(' ', i), text.size());
        words.emplace_back(i, end);
        i = end;
    }
    // The styles came last: from the end, every word a property or a value without a colon;
    // they begin at the first property of that run.
    std::size_t cut = text.size();
    for (std::size_t w = words.size(); w > 0; --w) {
        const std::string_view word = std::string_view(text).substr(
            words[w - 1].first, words[w - 1].second - words[w - 1].first);
        if (IsPropertyWord(word)) {
            cut = words[w - 1].first;
        } else if (word.find(':') != std::string_view::npos) {
            break;
        }
    }
    text.resize(cut);
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    return text;
}

}  // namespace pellimor
