#include "files/warc/WarcRecord.h"

#include <cstdio>

#include "files/ExportIndex.h"
#include "files/warc/Digests.h"
#include "ground/AsciiText.h"

namespace pellimor {

namespace {

bool IsControl(char c) {
    const auto b = static_cast<unsigned char>(c);
    return (b < 0x20 && c != '\t') || b == 0x7F;
}

// HTTP's token characters, which a header name is made of.
bool IsTokenChar(char c) {
    const auto b = static_cast<unsigned char>(c);
    if (b <= 0x20 || b >= 0x7F) {
        return false;
    }
    return std::string_view("\"(),/:;<=>?@[\\]{}").find(c) == std::string_view::npos;
}

// The head's lines up to the blank line that ends it, without their line ends.
std::vector<std::string_view> HeadLines(std::string_view headers) {
    std::vector<std::string_view> lines;
    for (std::size_t start = 0; start < headers.size();) {
        std::size_t end = headers.find('\n', start);
        if (end == std::string_view::npos) {
            end = headers.size();
        }
        std::string_view line = headers.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        start = end + 1;
        if (line.empty()) {
            if (lines.empty()) {
                continue;  // blank lines before the status line
            }
            break;
        }
        lines.push_back(line);
    }
    return lines;
}

// "HTTP/1.1 200 OK": the status code, or 0 when the line is not one.
int StatusOf(std::string_view line) {
    if (line.substr(0, 5) != "HTTP/") {
        return 0;
    }
    const auto space = line.find(' ');
    if (space == std::string_view::npos || line.size() < space + 4) {
        return 0;
    }
    int code = 0;
    for (std::size_t i = space + 1; i < space + 4; ++i) {
        if (line[i] < '0' || line[i] > '9') {
            return 0;
        }
        code = code * 10 + (line[i] - '0');
    }
    if (line.size() > space + 4 && line[space + 4] != ' ') {
        return 0;
    }
    return code >= 100 ? code : 0;
}

}  // namespace

std::string WarcRecordText(const WarcFields& fields, std::string_view block) {
    std::string out = "WARC/1.1\r\n";
    for (const auto& [name, value] : fields) {
        out += name;
        out += ": ";
        for (const char c : value) {
            const auto b = static_cast<unsigned char>(c);
            out += b < 0x20 || b >= 0x7F ? (b >= 0x80 ? '?' : ' ') : c;
        }
        out += "\r\n";
    }
    out += "Content-Length: " + std::to_string(block.size()) + "\r\n\r\n";
    out.append(block);
    out += "\r\n\r\n";
    return out;
}

std::string WarcUri(std::string_view address) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : address) {
        const auto b = static_cast<unsigned char>(c);
        if (b <= 0x20 || b >= 0x7F ||
            std::string_view("<>\"{}|\\^`").find(c) != std::string_view::npos) {
            out += '%';
            out += kHex[b >> 4];
            out += kHex[b & 0x0F];
        } else {
            out += c;
        }
    }
    return out;
}

std::string WarcDate(UnixTime time) {
    const std::int64_t seconds = ((time % 86400) + 86400) % 86400;
    char clock[16];
    std::snprintf(clock, sizeof clock, "T%02d:%02d:%02dZ", static_cast<int>(seconds / 3600),
                  static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
    return DayOf(time) + clock;
}

std::string WarcTimestamp(UnixTime time) {
    std::string out;
    for (const char c : WarcDate(time)) {
        if (c >= '0' && c <= '9') {
            out += c;
        }
    }
    return out;
}

std::string WarcRecordId(std::string_view name) {
    Sha1 hash;
    hash.Update("pellimor-record:");
    hash.Update(name);
    auto digest = hash.Finish();
    digest[6] = static_cast<std::uint8_t>((digest[6] & 0x0F) | 0x50);
    digest[8] = static_cast<std::uint8_t>((digest[8] & 0x3F) | 0x80);
    const std::string hex =
        LowerHex(std::string_view(reinterpret_cast<const char*>(digest.data()), 16));
    return "<urn:uuid:" + hex.substr(0, 8) + "-" + hex.substr(8, 4) + "-" + hex.substr(12, 4) +
           "-" + hex.substr(16, 4) + "-" + hex.substr(20) + ">";
}

std::optional<ArchivedHead> ArchivedResponseHead(std::string_view headers,
                                                 std::uint64_t bodyLength) {
    const std::vector<std::string_view> lines = HeadLines(headers);
    if (lines.empty() || lines[0].size() > kLongestHeaderLine) {
        return std::nullopt;
    }
    ArchivedHead head;
    head.status = StatusOf(lines[0]);
    for (const char c : lines[0]) {
        if (IsControl(c)) {
            head.status = 0;
        }
    }
    if (head.status == 0) {
        return std::nullopt;
    }
    head.text.append(lines[0]);
    head.text += "\r\n";
    std::size_t dropped = 0;
    std::vector<std::string> removed;
    std::size_t kept = 0;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        const auto colon = line.find(':');
        bool good = line.size() <= kLongestHeaderLine && colon != std::string_view::npos &&
                    colon > 0 && kept < kMostHeaderLines;
        for (std::size_t k = 0; good && k < colon; ++k) {
            good = IsTokenChar(line[k]);
        }
        for (std::size_t k = colon + 1; good && k < line.size(); ++k) {
            good = !IsControl(line[k]);
        }
        if (!good) {
            ++dropped;
            continue;
        }
        const std::string_view name = line.substr(0, colon);
        const std::string_view value = TrimmedBlanks(line.substr(colon + 1));
        if (EqualIgnoringCase(name, "Content-Encoding") ||
            EqualIgnoringCase(name, "Transfer-Encoding") ||
            EqualIgnoringCase(name, "Content-Length")) {
            if (!EqualIgnoringCase(name, "Content-Length") &&
                !EqualIgnoringCase(value, "identity")) {
                removed.push_back(std::string(name) + ": " + std::string(value));
            }
            continue;
        }
        if (EqualIgnoringCase(name, "Content-Type") && head.mime.empty()) {
            std::string_view type = value.substr(0, value.find(';'));
            for (const char c : TrimmedBlanks(type)) {
                head.mime += LowerAscii(c);
            }
        }
        head.text.append(line);
        head.text += "\r\n";
        ++kept;
    }
    head.text += "Content-Length: " + std::to_string(bodyLength) + "\r\n\r\n";
    if (!removed.empty()) {
        std::string text = "the body is kept decoded: ";
        for (std::size_t i = 0; i < removed.size(); ++i) {
            text += (i > 0 ? ", " : "") + removed[i];
        }
        head.notes.push_back(text + " dropped, Content-Length set");
    }
    if (dropped > 0) {
        head.notes.push_back(std::to_string(dropped) +
                             " cached header lines left out (control bytes, no name, or too long)");
    }
    return head;
}

}  // namespace pellimor
