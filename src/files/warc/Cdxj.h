// The index of a WACZ (indexes/index.cdx): one line per record, sorted bytewise,
//
//   <SURT key> <14-digit timestamp> {"url": ..., "mime": ..., "status": ..., "digest": ...,
//                                    "length": ..., "offset": ..., "filename": ...}
//
// where offset and length say where the record's gzip member lies in the WARC file. The
// key is the address as replay tools compute it to look it up: lower case, scheme and a
// leading "www"/"wwwN." dropped, host labels reversed and joined by ",", the port when not
// the scheme's own, ")", the path ("/" when empty), the query's parts sorted.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pellimor {

// The key of a percent-encoded address (as WarcUri makes it).
std::string SurtKey(std::string_view uri);

// text as a JSON string: quotes, backslashes and control bytes escaped; bytes that are not
// valid UTF-8 each become U+FFFD.
std::string JsonQuoted(std::string_view text);

struct CdxjRecord {
    std::string uri;        // WARC-Target-URI
    std::string timestamp;  // 14 digits
    std::string mime;
    int status = 0;      // 0 for a resource record: none written
    std::string digest;  // the payload digest, "sha1:..."
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    std::string filename;
};

std::string CdxjLine(const CdxjRecord& record);

}  // namespace pellimor
