// Reading one cache2 entry file from an open descriptor: its trailer and metadata from the
// end, and the body's first bytes, in as few reads as the file allows.
#pragma once

#include <cstdint>
#include <string>

#include "platform/fileops/ConfinedFile.h"
#include "platform/firefox/Cache2Format.h"
#include "ports/Result.h"

namespace pellimor::firefox::cache2 {

struct EntryFile {
    Metadata metadata;
    std::string storedPrefix;  // the body's first stored bytes (up to kStoredPrefixSize)
};

// size bytes at offset; fails naming path when fewer come.
Result<std::string> ReadAt(int fd, std::uint64_t offset, std::size_t size, const std::string& path);

// The entry in file (opened from path); the error says why it is no readable entry.
Result<EntryFile> ReadEntryFile(const OpenedFile& file, const std::string& path);

}  // namespace pellimor::firefox::cache2
