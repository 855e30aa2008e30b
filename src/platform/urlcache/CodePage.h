// The 8-bit texts of a cache, written in the code page of the Windows that wrote them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pellimor {

bool IsAscii(std::string_view text);
bool IsValidUtf8(std::string_view text);

// The text decoded from a Windows code page (1250, 1252, 65001 ...) to UTF-8; nothing when
// the code page is unknown or the text holds a byte it does not define.
std::optional<std::string> DecodeCodePage(std::string_view text, int codePage);

// Whether a code page can be read here and keeps ASCII as it is: every byte below 0x80 is
// that character, and no other byte decodes to one. Only such code pages are accepted, so
// that no name can decode to a separator or a "..".
bool CodePageKeepsAscii(int codePage);

// UTF-8 to a Windows code page; nothing when a character has no byte there.
std::optional<std::string> EncodeCodePage(std::string_view utf8, int codePage);

}  // namespace pellimor
