// Which strings of a movie are addresses it may load, and which are host names it may
// compare its own address with (a site lock).
#pragma once

#include <string_view>

namespace pellimor {

// An absolute http(s) address, or a relative one whose last segment is a file name with an
// extension of something a movie loads or opens (.swf, .xml, .mp3, .png, .php ...). XML
// namespace names of Adobe's (http://adobe.com/AS3/2006/builtin ...) name no file, and
// ActionScript's packages ("flash.xml") are neither files nor hosts.
bool LooksLikeLoadAddress(std::string_view text);

// A DNS name under a known top-level domain ("games.example.com", ".example.com" for any of
// its hosts), or "localhost". Package names ("flash.display") and file names are not.
bool LooksLikeHostName(std::string_view text);

}  // namespace pellimor
