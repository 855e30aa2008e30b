// The walk over a movie's tags: each tag's code, where its body lies and how long it is.
// Every length is checked against the bytes there are before a tag is handed on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace pellimor {

enum SwfTagCode : std::uint16_t {
    kTagEnd = 0,
    kTagSetBackgroundColor = 9,
    kTagDoAction = 12,
    kTagDefineSprite = 39,
    kTagProductInfo = 41,
    kTagImportAssets = 57,
    kTagDoInitAction = 59,
    kTagFileAttributes = 69,
    kTagImportAssets2 = 71,
    kTagDoAbcPlain = 72,
    kTagMetadata = 77,
    kTagDoAbc = 82,
    kTagDefineBinaryData = 87,
};

struct SwfTag {
    std::uint16_t code = 0;
    std::size_t offset = 0;  // of the tag's header in the movie
    std::string_view body;
};

// The name of a tag code for people, or "tag N".
std::string SwfTagName(std::uint16_t code);

// Calls visit for each tag of bytes[start, end) until the End tag; visit returns false to
// stop. Returns how the walk ended: empty after the End tag, else where and why it stopped.
std::string WalkSwfTags(std::string_view bytes, std::size_t start,
                        const std::function<bool(const SwfTag&)>& visit);

}  // namespace pellimor
