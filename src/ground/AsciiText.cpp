#include "ground/AsciiText.h"

namespace pellimor {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view WithoutLeadingBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    return text;
}

}  // namespace

std::string LoweredAscii(std::string_view text) {
    std::string lowered(text);
    LowerAsciiInPlace(lowered);
    return lowered;
}

void LowerAsciiInPlace(std::string& text) {
    for (char& c : text) {
        c = LowerAscii(c);
    }
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && StartsWithIgnoringCase(a, b);
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (prefix.size() > text.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (LowerAscii(text[i]) != LowerAscii(prefix[i])) {
            return false;
        }
    }
    return true;
}

std::string_view TrimmedBlanks(std::string_view text) {
    text = WithoutLeadingBlanks(text);
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::string_view TrimmedLine(std::string_view text) {
    text = WithoutLeadingBlanks(text);
    while (!text.empty() && (IsBlank(text.back()) || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace pellimor
