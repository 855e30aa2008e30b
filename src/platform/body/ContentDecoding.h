// Bodies as browsers store them: with the Content-Encoding the server used (gzip, deflate,
// br), decoded here before they are shown, played or saved.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ports/Result.h"

namespace pellimor {

// The body decoded from encoding ("gzip", "x-gzip", "deflate", "br", "identity" or empty;
// case-blind; a list of several is decoded last first). At most limit decoded bytes: a
// body that would grow beyond it fails rather than filling memory. A body whose encoded
// stream ends early gives what was decoded with truncated set.
struct DecodedBody {
    std::string bytes;
    bool truncated = false;
};
Result<DecodedBody> DecodeContent(std::string_view encoding, std::string_view stored,
                                  std::uint64_t limit);

}  // namespace pellimor
