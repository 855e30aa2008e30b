// Where a file of an address goes in an exported game: content/<host>/<path>, one folder
// per path segment. Addresses come from strangers' caches and movies, so every segment is
// made a plain file name that no system reads as a way out of the export folder.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "ports/Result.h"

namespace pellimor {

// Longest segment written, in bytes; longer ones are cut and marked (below).
inline constexpr std::size_t kLongestPathSegment = 200;

// One segment as a file name. The text is percent-decoded once; then every byte that no
// file name may hold here or on a Windows copy ('/', '\\', NUL and the other control bytes,
// DEL, ':' '*' '?' '"' '<' '>' '|') is written back as %XX (upper-case hex), and so are
// the dots of a segment made of dots only ("..", "%2e%2e" -> "%2E%2E"). A segment longer
// than kLongestPathSegment keeps its start and its extension with "~" and eight hex digits
// of a hash of the whole between them, so that two long names stay apart. Empty stays empty.
std::string FileNameSegment(std::string_view encoded);

// The relative path of an address: its host (decoded, lower case, without user or port),
// then each path segment. Empty segments and "." are dropped; an address whose path ends
// in "/" names "index.html". With keepQuery the query stays in the last name as "%3F"
// followed by it ("name.php?id=7" -> "name.php%3Fid=7"); the fragment never does. Fails for
// an address that is not http, https or ftp or has no host.
Result<std::vector<std::string>> AddressPath(std::string_view address, bool keepQuery);

// The segments joined with "/", for texts the user reads.
std::string JoinedPath(const std::vector<std::string>& segments);

}  // namespace pellimor
