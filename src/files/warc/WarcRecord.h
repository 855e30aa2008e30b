// WARC 1.1 records (ISO 28500:2017) as Pellimor writes them:
//
//   WARC/1.1 CRLF
//   Name: value CRLF          one line per field; no value holds CR, LF or another control
//   ...
//   Content-Length: N CRLF    the length of the block
//   CRLF
//   block (N bytes)
//   CRLF CRLF
//
// A response record's block is the HTTP status line and header lines, a blank line and the
// body; its payload is the body alone.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ports/CacheSource.h"

namespace pellimor {

using WarcFields = std::vector<std::pair<std::string, std::string>>;

// The record: version line, fields (values in ASCII: control bytes made spaces, others '?'),
// Content-Length of block, the block and the two line ends that close it.
std::string WarcRecordText(const WarcFields& fields, std::string_view block);

// An address as WARC-Target-URI and the indexes hold it: bytes no URI holds (controls,
// space, bytes above 0x7F, and "<>\"{}|\\^`") percent-encoded, so it stays on its line.
std::string WarcUri(std::string_view address);

// "2009-06-24T12:30:00Z" and "20090624123000".
std::string WarcDate(UnixTime time);
std::string WarcTimestamp(UnixTime time);

// "<urn:uuid:...>": a name-based UUID (version 5 form) of name, so that the same export
// gives the same identifiers.
std::string WarcRecordId(std::string_view name);

// The cached response head as a response record holds it. Lines are taken up to the first
// blank one; lines holding control bytes, longer than kLongestHeaderLine, folded or without
// a name are left out (and said so in notes), so that no cached header can end the head
// early or put bytes into the payload. The body kept is decoded, so Content-Encoding and
// Transfer-Encoding are dropped and Content-Length is set to its length.
inline constexpr std::size_t kLongestHeaderLine = 16 * 1024;
inline constexpr std::size_t kMostHeaderLines = 200;

struct ArchivedHead {
    std::string text;  // status line, header lines, blank line
    int status = 0;
    std::string mime;  // the Content-Type's media type, lower case; may be empty
    std::vector<std::string> notes;
};

// Nothing when headers do not start with an HTTP status line.
std::optional<ArchivedHead> ArchivedResponseHead(std::string_view headers,
                                                 std::uint64_t bodyLength);

}  // namespace pellimor
