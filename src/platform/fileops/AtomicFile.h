// Replacing a file so that a reader sees the old or the new contents, never a mixture.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace pellimor {

// Writes bytes to a temporary file beside path, flushes it, lets verify read it back
// (an empty error string means good), then renames it over path. On any failure path is
// unchanged, the temporary file is removed and the error says why.
bool ReplaceFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes,
                           const std::function<std::string(const std::string&)>& verify,
                           std::string& error);

}  // namespace pellimor
