// An address as a movie names it, made absolute against the movie's own address the way a
// browser does (RFC 3986, section 5.2): "levels/1.swf" in http://a.example/game/main.swf is
// http://a.example/game/levels/1.swf.
#pragma once

#include <string>
#include <string_view>

namespace pellimor {

// The reference resolved against base; base must be absolute (have a scheme).
std::string ResolveAddress(std::string_view base, std::string_view reference);

}  // namespace pellimor
