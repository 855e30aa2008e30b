#include "platform/firefox/ResponseHead.h"

#include <algorithm>
#include <charconv>

#include "ground/AsciiText.h"
#include "platform/body/ContentDecoding.h"

namespace pellimor::firefox {

namespace {}  // namespace

std::optional<std::string_view> HeaderValue(std::string_view head, std::string_view name) {
    // The first line is the status line; headers follow, one a line.
    std::size_t start = head.find('\n');
    while (start != std::string_view::npos && start + 1 < head.size()) {
        const std::size_t lineStart = start + 1;
        const std::size_t lineEnd = head.find('\n', lineStart);
        const std::string_view line =
            head.substr(lineStart, lineEnd == std::string_view::npos ? std::string_view::npos
                                                                     : lineEnd - lineStart);
        const std::size_t colon = line.find(':');
        if (colon != std::string_view::npos &&
            EqualIgnoringCase(TrimmedLine(line.substr(0, colon)), name)) {
            return TrimmedLine(line.substr(colon + 1));
        }
        start = lineEnd;
    }
    return std::nullopt;
}

ResponseFacts FactsOf(std::string_view head) {
    ResponseFacts facts;
    if (const auto type = HeaderValue(head, "Content-Type")) {
        facts.contentType = LoweredAscii(TrimmedLine(type->substr(0, type->find(';'))));
    }
    if (const auto encoding = HeaderValue(head, "Content-Encoding")) {
        facts.contentEncoding = LoweredAscii(*encoding);
    }
    if (const auto length = HeaderValue(head, "Content-Length")) {
        std::uint64_t value = 0;
        const auto [end, error] =
            std::from_chars(length->data(), length->data() + length->size(), value);
        if (error == std::errc() && end == length->data() + length->size()) {
            facts.contentLength = value;
        }
    }
    return facts;
}

std::string BodyStartOf(std::string_view encoding, std::string_view storedPrefix) {
    if (encoding.empty() || encoding == "identity") {
        return std::string(storedPrefix.substr(0, kBodyStartSize));
    }
    // The prefix is a stream cut short; what it decodes to is enough. The limit keeps a
    // stream that inflates enormously from filling memory.
    constexpr std::uint64_t kDecodeLimit = 1024 * 1024;
    const auto decoded = DecodeContent(encoding, storedPrefix, kDecodeLimit);
    if (!decoded) {
        return {};
    }
    return decoded->bytes.substr(0, kBodyStartSize);
}

std::optional<std::string_view> ElementValue(std::string_view elements, std::string_view name) {
    std::size_t at = 0;
    while (at < elements.size()) {
        const std::size_t nameEnd = elements.find('\0', at);
        if (nameEnd == std::string_view::npos) {
            return std::nullopt;
        }
        const std::size_t valueEnd = elements.find('\0', nameEnd + 1);
        if (valueEnd == std::string_view::npos) {
            return std::nullopt;
        }
        if (elements.substr(at, nameEnd - at) == name) {
            return elements.substr(nameEnd + 1, valueEnd - nameEnd - 1);
        }
        at = valueEnd + 1;
    }
    return std::nullopt;
}

}  // namespace pellimor::firefox
