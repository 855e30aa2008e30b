// Bytes handed on piece by piece as they are read or decoded, so that a body of a gigabyte
// never has to be held whole: the receiver keeps what it needs and may stop early.
#pragma once

#include <functional>
#include <string_view>

namespace pellimor {

// Takes the next piece; false when it has what it needs, and the reading then stops there
// without failing.
using ByteSink = std::function<bool(std::string_view piece)>;

// Pieces a body is handed on in: small enough that memory follows what is kept, large
// enough that the calls cost nothing next to the reading.
inline constexpr std::size_t kBodyPiece = 64 * 1024;

}  // namespace pellimor
