#include "ui/player/PlayerRequest.h"

#include <optional>

#include "ground/PercentDecoding.h"

namespace pellimor {

namespace {

constexpr std::string_view kPrefix = "pellimor://player/";
constexpr std::size_t kLongestRuffleName = 200;

// Percent-decoding; a '%' without two hex digits after it makes the text unreadable.
std::optional<std::string> Decode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) {
            return std::nullopt;
        }
        const int high = HexDigitValue(text[i + 1]);
        const int low = HexDigitValue(text[i + 2]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

using Fields = std::vector<std::pair<std::string, std::string>>;

std::optional<Fields> DecodeQuery(std::string_view query) {
    Fields fields;
    while (!query.empty()) {
        const std::size_t amp = query.find('&');
        const std::string_view item = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
        if (item.empty()) {
            continue;
        }
        const std::size_t eq = item.find('=');
        auto key = Decode(item.substr(0, eq));
        auto value =
            Decode(eq == std::string_view::npos ? std::string_view() : item.substr(eq + 1));
        if (!key || !value) {
            return std::nullopt;
        }
        fields.emplace_back(std::move(*key), std::move(*value));
    }
    return fields;
}

// The first value of the field, as a query reader answers it.
const std::string* FirstValue(const Fields& fields, std::string_view key) {
    for (const auto& [k, v] : fields) {
        if (k == key) {
            return &v;
        }
    }
    return nullptr;
}

// Compares every byte whatever the first difference, so that the answer's time says
// nothing about how much of a guessed key was right.
bool SameKey(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    unsigned char difference = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    }
    return difference == 0;
}

PlayerRequest Event(Fields fields, std::string_view pageKey) {
    const std::string* key = FirstValue(fields, kPageKeyField);
    const std::string* name = FirstValue(fields, "name");
    if (pageKey.empty() || key == nullptr || !SameKey(*key, pageKey) || name == nullptr ||
        !IsPageEventName(*name)) {
        return {};
    }
    PlayerRequest request{PlayerRequestKind::kEvent, *name, {}, {}};
    for (auto& field : fields) {
        if (field.first != kPageKeyField) {
            request.fields.push_back(std::move(field));
        }
    }
    return request;
}

}  // namespace

bool IsPageEventName(std::string_view name) {
    for (const std::string_view known : {"ready", "metadata", "frame", "missing", "failed"}) {
        if (name == known) {
            return true;
        }
    }
    return false;
}

bool IsRuffleFileName(std::string_view name) {
    if (name.empty() || name.size() > kLongestRuffleName || name.front() == '.' ||
        name.find("..") != std::string_view::npos) {
        return false;
    }
    for (const char c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
        if (!plain) {
            return false;
        }
    }
    return true;
}

PlayerRequest ParsePlayerRequest(std::string_view url, std::string_view pageKey) {
    if (url.substr(0, kPrefix.size()) != kPrefix) {
        return {};
    }
    std::string_view rest = url.substr(kPrefix.size() - 1);  // from the path's '/'
    rest = rest.substr(0, rest.find('#'));
    const std::size_t mark = rest.find('?');
    const auto path = Decode(rest.substr(0, mark));
    const auto fields =
        DecodeQuery(mark == std::string_view::npos ? std::string_view() : rest.substr(mark + 1));
    if (!path || !fields) {
        return {};
    }
    if (*path == "/" || *path == "/index.html") {
        return {PlayerRequestKind::kPageFile, "index.html", {}, {}};
    }
    if (*path == "/player.js") {
        return {PlayerRequestKind::kPageFile, "player.js", {}, {}};
    }
    if (*path == "/options.js") {
        return {PlayerRequestKind::kOptions, {}, {}, {}};
    }
    constexpr std::string_view kRuffle = "/ruffle/";
    if (path->compare(0, kRuffle.size(), kRuffle) == 0) {
        const std::string name = path->substr(kRuffle.size());
        if (!IsRuffleFileName(name)) {
            return {};
        }
        return {PlayerRequestKind::kRuffleFile, name, {}, {}};
    }
    if (*path == "/cache" || *path == "/file") {
        const bool cache = *path == "/cache";
        const std::string* asked = FirstValue(*fields, cache ? "url" : "path");
        if (asked == nullptr || asked->empty()) {
            return {};
        }
        return {cache ? PlayerRequestKind::kCache : PlayerRequestKind::kFile, {}, *asked, {}};
    }
    if (*path == "/event") {
        return Event(*fields, pageKey);
    }
    return {};
}

}  // namespace pellimor
