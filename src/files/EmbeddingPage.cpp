#include "files/EmbeddingPage.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "ground/AsciiText.h"

namespace pellimor {

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

void AppendUtf8(std::string& out, unsigned long code) {
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        out += "\xEF\xBF\xBD";
    } else if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// The character references a movie's attributes use: the named ones of markup, and numbers.
std::string EntitiesDecoded(std::string_view text) {
    static constexpr struct {
        std::string_view name;
        char value;
    } kNamed[] = {{"amp;", '&'}, {"quot;", '"'}, {"apos;", '\''}, {"lt;", '<'}, {"gt;", '>'}};
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&') {
            out += text[i];
            continue;
        }
        bool done = false;
        for (const auto& named : kNamed) {
            if (text.substr(i + 1, named.name.size()) == named.name) {
                out += named.value;
                i += named.name.size();
                done = true;
                break;
            }
        }
        if (!done && i + 2 < text.size() && text[i + 1] == '#') {
            const bool hex = text[i + 2] == 'x' || text[i + 2] == 'X';
            std::size_t k = i + (hex ? 3 : 2);
            unsigned long code = 0;
            std::size_t digits = 0;
            for (; k < text.size() && digits < 8; ++k, ++digits) {
                const char c = LowerAscii(text[k]);
                const int v = c >= '0' && c <= '9'          ? c - '0'
                              : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                            : -1;
                if (v < 0) {
                    break;
                }
                code = code * (hex ? 16 : 10) + static_cast<unsigned long>(v);
            }
            if (digits > 0 && k < text.size() && text[k] == ';') {
                AppendUtf8(out, code);
                i = k;
                done = true;
            }
        }
        if (!done) {
            out += '&';
        }
    }
    return out;
}

// The next place of a character at or after a position, remembered, so that a page of
// unterminated quotes or tags is searched once rather than once for every '<'.
class NextFinder {
  public:
    explicit NextFinder(std::string_view text) : text_(text) {}
    std::size_t Next(char c, std::size_t from) {
        Memo& m = memo_[static_cast<unsigned char>(c)];
        if (!(m.valid && m.from <= from && (m.at >= from))) {
            m = Memo{true, from, text_.find(c, from)};
        }
        return m.at;
    }

  private:
    struct Memo {
        bool valid = false;
        std::size_t from = 0;
        std::size_t at = 0;
    };
    std::string_view text_;
    Memo memo_[256];
};

struct Attribute {
    std::string name;  // lower case
    std::string value;
};

struct Tag {
    std::string name;  // lower case; "/object" for an end tag
    std::vector<Attribute> attributes;
    std::size_t end = 0;  // just after its '>'
};

// The tag starting at html[at] == '<'; nothing when it does not end within kLongestTag.
std::optional<Tag> ReadTag(std::string_view html, std::size_t at, NextFinder& next) {
    const std::size_t limit = std::min(html.size(), at + kLongestTag);
    std::size_t i = at + 1;
    Tag tag;
    // An end tag's name keeps its '/': "/object".
    const std::size_t nameStart = i;
    if (i < limit && html[i] == '/') {
        ++i;
    }
    while (i < limit && !IsSpace(html[i]) && html[i] != '>' && html[i] != '/') {
        ++i;
    }
    tag.name = LoweredAscii(html.substr(nameStart, i - nameStart));
    while (i < limit) {
        while (i < limit && (IsSpace(html[i]) || html[i] == '/')) {
            ++i;
        }
        if (i >= limit) {
            break;
        }
        if (html[i] == '>') {
            tag.end = i + 1;
            return tag;
        }
        Attribute a;
        while (i < limit && !IsSpace(html[i]) && html[i] != '=' && html[i] != '>') {
            a.name += LowerAscii(html[i++]);
        }
        while (i < limit && IsSpace(html[i])) {
            ++i;
        }
        if (i < limit && html[i] == '=') {
            ++i;
            while (i < limit && IsSpace(html[i])) {
                ++i;
            }
            if (i < limit && (html[i] == '"' || html[i] == '\'')) {
                const char quote = html[i++];
                const std::size_t close = next.Next(quote, i);
                if (close == std::string_view::npos || close >= limit) {
                    return std::nullopt;
                }
                a.value = EntitiesDecoded(html.substr(i, close - i));
                i = close + 1;
            } else {
                const std::size_t start = i;
                while (i < limit && !IsSpace(html[i]) && html[i] != '>') {
                    ++i;
                }
                a.value = EntitiesDecoded(html.substr(start, i - start));
            }
        }
        if (a.name.empty()) {
            ++i;  // a stray character: passed over
            continue;
        }
        tag.attributes.push_back(std::move(a));
    }
    return std::nullopt;
}

std::string AttributeOf(const Tag& tag, std::string_view name) {
    for (const Attribute& a : tag.attributes) {
        if (a.name == name) {
            return a.value;
        }
    }
    return {};
}

void TakeParameter(Embedding& e, std::string_view name, const std::string& value) {
    const std::string key = LoweredAscii(name);
    if ((key == "movie" || key == "src") && e.movie.empty()) {
        e.movie = value;
    } else if (key == "flashvars") {
        e.flashvars = value;
    } else if (key == "base") {
        e.base = value;
    } else if (key == "width" && e.width.empty()) {
        e.width = value;
    } else if (key == "height" && e.height.empty()) {
        e.height = value;
    }
}

// A script value: a quoted string, a number or word, or an object literal of such values.
struct ScriptValue {
    bool isObject = false;
    bool quoted = false;
    std::string text;
    std::vector<std::pair<std::string, std::string>> members;
};

class ScriptReader {
  public:
    ScriptReader(std::string_view text, std::size_t at)
        : text_(text.substr(0, std::min(text.size(), at + kLongestTag))), i_(at) {}

    std::size_t at() const { return i_; }
    bool Take(char c) {
        SkipSpace();
        if (i_ < text_.size() && text_[i_] == c) {
            ++i_;
            return true;
        }
        return false;
    }
    std::optional<ScriptValue> Value() {
        SkipSpace();
        if (i_ >= text_.size()) {
            return std::nullopt;
        }
        ScriptValue v;
        if (text_[i_] == '{') {
            ++i_;
            v.isObject = true;
            while (!Take('}')) {
                auto key = Word();
                if (!key || !Take(':')) {
                    return std::nullopt;
                }
                auto member = Value();
                if (!member) {
                    return std::nullopt;
                }
                v.members.emplace_back(key->text, member->text);
                if (!Take(',') && !(SkipSpace(), i_ < text_.size() && text_[i_] == '}')) {
                    return std::nullopt;
                }
            }
            return v;
        }
        auto word = Word();
        if (!word) {
            return std::nullopt;
        }
        return word;
    }

  private:
    void SkipSpace() {
        while (i_ < text_.size() && IsSpace(text_[i_])) {
            ++i_;
        }
    }
    // A quoted string (escapes resolved) or a run of word characters.
    std::optional<ScriptValue> Word() {
        SkipSpace();
        if (i_ >= text_.size()) {
            return std::nullopt;
        }
        ScriptValue v;
        const char quote = text_[i_];
        if (quote == '"' || quote == '\'') {
            v.quoted = true;
            for (++i_; i_ < text_.size(); ++i_) {
                const char c = text_[i_];
                if (c == quote) {
                    ++i_;
                    return v;
                }
                if (c == '\\' && i_ + 1 < text_.size()) {
                    const char next = text_[++i_];
                    v.text += next == 'n' ? '\n' : next == 't' ? '\t' : next;
                } else {
                    v.text += c;
                }
            }
            return std::nullopt;
        }
        while (i_ < text_.size() &&
               (std::isalnum(static_cast<unsigned char>(text_[i_])) || text_[i_] == '_' ||
                text_[i_] == '.' || text_[i_] == '$' || text_[i_] == '-' || text_[i_] == '%')) {
            v.text += text_[i_++];
        }
        if (v.text.empty()) {
            return std::nullopt;
        }
        return v;
    }

    std::string_view text_;
    std::size_t i_;
};

std::string FlashvarsOf(const ScriptValue& v) {
    if (!v.isObject) {
        return {};
    }
    std::string out;
    for (const auto& [key, value] : v.members) {
        out += (out.empty() ? "" : "&") + key + "=" + value;
    }
    return out;
}

// swfobject.embedSWF(...) whose arguments start at text[at] (just after the name).
// stop is where reading ended, so that the scan goes on from there.
std::optional<Embedding> ReadEmbedSwf(std::string_view text, std::size_t at, std::size_t& stop) {
    ScriptReader r(text, at);
    struct StopAt {
        ScriptReader& r;
        std::size_t& stop;
        ~StopAt() { stop = r.at(); }
    } stopAt{r, stop};
    if (!r.Take('(')) {
        return std::nullopt;
    }
    std::vector<ScriptValue> arguments;
    while (arguments.size() < 9) {
        auto v = r.Value();
        if (!v) {
            break;
        }
        arguments.push_back(std::move(*v));
        if (!r.Take(',')) {
            break;
        }
    }
    // A variable instead of the address says nothing about which movie it is.
    if (arguments.empty() || !arguments[0].quoted || arguments[0].text.empty()) {
        return std::nullopt;
    }
    Embedding e;
    e.embeddedWith = "swfobject.embedSWF";
    e.movie = arguments[0].text;
    if (arguments.size() > 2) {
        e.width = arguments[2].text;
    }
    if (arguments.size() > 3) {
        e.height = arguments[3].text;
    }
    if (arguments.size() > 6) {
        e.flashvars = FlashvarsOf(arguments[6]);
    }
    if (arguments.size() > 7 && arguments[7].isObject) {
        for (const auto& [key, value] : arguments[7].members) {
            if (LoweredAscii(key) == "base" ||
                (LoweredAscii(key) == "flashvars" && e.flashvars.empty())) {
                TakeParameter(e, key, value);
            }
        }
    }
    return e;
}

// What an object's <embed>s of the same movie give that the object leaves out.
void FillFromInner(Embedding& object, const std::vector<Embedding>& inner) {
    for (const Embedding& e : inner) {
        if (e.movie == object.movie) {
            for (auto field :
                 {&Embedding::flashvars, &Embedding::base, &Embedding::width, &Embedding::height}) {
                if ((object.*field).empty()) {
                    object.*field = e.*field;
                }
            }
        }
    }
}

Embedding FromEmbedTag(const Tag& tag) {
    Embedding e;
    e.embeddedWith = "embed";
    e.movie = AttributeOf(tag, "src");
    e.flashvars = AttributeOf(tag, "flashvars");
    e.base = AttributeOf(tag, "base");
    e.width = AttributeOf(tag, "width");
    e.height = AttributeOf(tag, "height");
    return e;
}

}  // namespace

std::vector<Embedding> FindEmbeddings(std::string_view html) {
    html = html.substr(0, std::min(html.size(), kLargestPageScanned));
    std::vector<Embedding> found;
    Embedding object;  // an <object> whose <param>s are being read, while inObject
    bool inObject = false;
    // The <embed>s inside it: written for the browsers that passed over the object (its
    // classid), the same movie is one embedding, the object's, which is the outer element
    // and the one the page meant first; what the object leaves out, its <embed> gives.
    std::vector<Embedding> inner;
    const auto finishObject = [&] {
        if (inObject && !object.movie.empty() && found.size() < kMostEmbeddings) {
            FillFromInner(object, inner);
            found.push_back(object);
        }
        for (Embedding& e : inner) {
            if (!(inObject && e.movie == object.movie) && found.size() < kMostEmbeddings) {
                found.push_back(std::move(e));
            }
        }
        inner.clear();
        inObject = false;
    };
    static constexpr std::string_view kEmbedSwf = "embedswf";
    NextFinder next(html);
    std::size_t i = 0;
    while (i < html.size() && found.size() < kMostEmbeddings) {
        const std::size_t candidate = html.find_first_of("<eE", i);
        if (candidate == std::string_view::npos) {
            break;
        }
        i = candidate;
        if (html[i] != '<') {
            if (StartsWithIgnoringCase(html.substr(i), kEmbedSwf)) {
                std::size_t stop = i + kEmbedSwf.size();
                if (auto e = ReadEmbedSwf(html, i + kEmbedSwf.size(), stop)) {
                    found.push_back(std::move(*e));
                }
                i = std::max(stop, i + kEmbedSwf.size());
            } else {
                ++i;
            }
            continue;
        }
        if (StartsWithIgnoringCase(html.substr(i), "<!--")) {
            // Comments are markup too: a commented-out <embed> is still what a page kept.
            i += 4;
            continue;
        }
        const auto tag = ReadTag(html, i, next);
        if (!tag) {
            // Passed over up to the next '>', as a browser would end the tag there.
            const std::size_t close = next.Next('>', i + 1);
            i = close == std::string_view::npos ? html.size() : close + 1;
            continue;
        }
        if (tag->name == "object") {
            finishObject();
            inObject = true;
            object = Embedding{"object", AttributeOf(*tag, "data"),  {},
                               {},       AttributeOf(*tag, "width"), AttributeOf(*tag, "height")};
        } else if (tag->name == "param" && inObject) {
            TakeParameter(object, AttributeOf(*tag, "name"), AttributeOf(*tag, "value"));
        } else if (tag->name == "/object") {
            finishObject();
        } else if (tag->name == "embed") {
            Embedding e = FromEmbedTag(*tag);
            std::vector<Embedding>& into = inObject ? inner : found;
            if (!e.movie.empty() && into.size() < kMostEmbeddings) {
                into.push_back(std::move(e));
            }
        }
        // Script text is scanned too, for embedSWF calls; a tag's insides are done with.
        i = tag->end;
    }
    finishObject();
    return found;
}

}  // namespace pellimor
