// The files a page's parameters name for its movie: a game's page often tells it which level
// or which data to load ("level=levels/level1.swf&data=levels.xml"), and then the movie
// itself names none of them. Values are percent-decoded and resolved against the folder the
// movie's relative addresses are resolved in, as Flash Player did.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "files/MoviePage.h"

namespace pellimor {

// At most so many addresses are taken from one page's parameters.
inline constexpr std::size_t kMostFlashvarsAddresses = 256;

// Every value of the page's flashvars made an absolute address of the web, in the order
// written, each once; values that make no such address are left out. Whether a value names
// a file at all is for the cache to say.
std::vector<std::string> FlashvarsAddresses(const MoviePage& page);

}  // namespace pellimor
