// The names a WinINet record carries, decoded: its address, and the path of its cached file,
// checked after decoding, since a code page can turn bytes that are no separator into one.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/urlcache/ContainerView.h"

namespace pellimor {

// The full local path of a record's cached file, decoded to UTF-8; nothing when the record
// names no file or names one outside the container's own sub-folders.
std::optional<std::string> LocalPathOf(const indexdat::ContainerView& view,
                                       const indexdat::RawUrlRecord& record,
                                       const std::string& folder, int codePage);

// LocalPathOf into path, whose storage is reused from one record to the next; false (path
// left unspecified) for no file.
bool LocalPathInto(const indexdat::ContainerView& view, const indexdat::RawUrlRecord& record,
                   const std::string& folder, int codePage, std::string& path);

// A stored address decoded to UTF-8.
std::string DecodeUrl(std::string_view stored, int codePage);
// The same into url, whose storage is reused.
void DecodeUrlInto(std::string_view stored, int codePage, std::string& url);

}  // namespace pellimor
