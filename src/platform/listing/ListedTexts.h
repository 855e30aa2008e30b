// What a listing keeps of one cache entry, whatever the cache claims: an address of at most
// kMaxListedAddress bytes and response headers of at most kMaxListedHeaders. A cache from a
// stranger's disk can give thousands of entries megabytes of address each (or one stored
// address to all of them); with these caps an entry costs the listing a few tens of KiB at
// most, however the storage is shared.
//
// Browsers' own limits: Internet Explorer's addresses end at 2,083 characters, and the
// longest addresses met in real caches (tracking and advertising) are a few KiB; Chrome
// accepts up to 2 MiB, which no page a person opens uses.
#pragma once

#include <cstddef>
#include <string>

#include "ports/CacheSource.h"

namespace pellimor {

inline constexpr std::size_t kMaxListedAddress = 8 * 1024;
inline constexpr std::size_t kMaxListedHeaders = 32 * 1024;

// Why an entry's address is not listed whole.
std::string OverlongAddressReason(std::size_t length);

// text cut to at most limit bytes, never inside a UTF-8 sequence.
void CutUtf8(std::string& text, std::size_t limit);

// Applies the caps to an entry as a reader made it, once its content type and coding are
// taken from the full headers: an address cut short leaves the entry unreadable, saying why.
void CapListedTexts(CacheEntry& entry);

}  // namespace pellimor
