// What Firefox's caches keep of a response: the status line and header lines as one text
// (the "response-head" element). The facts a reader needs are taken from it here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pellimor::firefox {

struct ResponseFacts {
    std::string contentType;      // lower case, without parameters
    std::string contentEncoding;  // lower case, trimmed; empty for none
    std::optional<std::uint64_t> contentLength;
};

// The value of the first header named name (case-blind), trimmed; nothing when absent.
std::optional<std::string_view> HeaderValue(std::string_view head, std::string_view name);

ResponseFacts FactsOf(std::string_view head);

// The first bytes (up to 8) of a body as it reads once decoded, from the first stored
// bytes: what tells a movie by its signature when the server compressed it.
inline constexpr std::size_t kBodyStartSize = 8;
inline constexpr std::size_t kStoredPrefixSize = 4096;
std::string BodyStartOf(std::string_view encoding, std::string_view storedPrefix);

// The value of element name in NUL-separated pairs ("name\0value\0..."); nothing when absent.
std::optional<std::string_view> ElementValue(std::string_view elements, std::string_view name);

}  // namespace pellimor::firefox
