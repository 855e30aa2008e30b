// Addresses as a browser compares them: one canonical form for every place that looks a file
// up by its address (the player's loads, the cache's address book).
#pragma once

#include <string>
#include <string_view>

namespace pellimor {

// The form in which two spellings of one address compare equal, as a browser writes an
// address it has resolved: scheme and host in lower case, no default port, "/" for an empty
// path, spaces, quotes, angle brackets and bytes outside ASCII percent-encoded, no fragment.
std::string CanonicalAddress(std::string_view url);

// The address without its query part.
std::string_view WithoutQuery(std::string_view url);

// Whether an address is one of the web (http, https, ftp): a movie with one can play under it.
bool IsWebAddress(std::string_view address);

// The media type of a "Content-Type:" line in raw response headers, lower case, or empty.
std::string ContentTypeFromHeaders(std::string_view headers);

}  // namespace pellimor
