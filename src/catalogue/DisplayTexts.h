// The size and date texts of the detail fields: English, point as decimal mark, any locale.
#pragma once

#include <cstdint>
#include <string>

namespace pellimor {

// Kilobytes with two decimals below 103 bytes, one decimal from there on; an exact half
// rounds up.
std::string FormatSizeText(std::uint64_t bytes);

// "Tue, 05 Mar 2013 14:03:09 GMT" in UTC; empty before 1970.
std::string FormatLastModified(std::uint64_t fileTime);

// The same text for seconds since 1970 (UTC); empty before 1970.
std::string FormatUtcTime(std::int64_t unixSeconds);

// "2013-03-05T14:03:09Z": ISO 8601, UTC, for programs that read the listing.
std::string FormatIsoTime(std::int64_t unixSeconds);

}  // namespace pellimor
