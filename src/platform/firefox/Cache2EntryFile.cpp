#include "platform/firefox/Cache2EntryFile.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <span>

#include "platform/firefox/ResponseHead.h"

namespace pellimor::firefox::cache2 {

namespace {

// One read from the end of an entry file usually holds all its metadata, and for small
// entries the body's first bytes too.
constexpr std::size_t kFirstRead = 16 * 1024;

std::span<const std::uint8_t> Bytes(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

}  // namespace

Result<std::string> ReadAt(int fd, std::uint64_t offset, std::size_t size,
                           const std::string& path) {
    std::string bytes(size, '\0');
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got =
            pread(fd, bytes.data() + done, size - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return Fail("cannot read " + path);
        }
        done += static_cast<std::size_t>(got);
    }
    return bytes;
}

Result<EntryFile> ReadEntryFile(const OpenedFile& file, const std::string& path) {
    const std::uint64_t size = file.size;
    if (size < kOffsetFieldSize) {
        return Fail(path + " is not a Firefox cache entry: too short (" + std::to_string(size) +
                    " bytes)");
    }
    const std::size_t first = static_cast<std::size_t>(std::min<std::uint64_t>(size, kFirstRead));
    auto tail = ReadAt(file.fd.get(), size - first, first, path);
    if (!tail) {
        return Failure{tail.error()};
    }
    const auto trailer =
        ReadTrailer(Bytes(*tail).last(std::min(tail->size(), kLongestTrailer)), size);
    if (!trailer) {
        return Fail(path + " is not a readable Firefox cache entry: " + trailer.error());
    }
    const std::uint32_t bodyLength = trailer->bodyLength;
    const std::uint64_t tailSize = size - bodyLength;
    if (tailSize > kMaxMetadataSize) {
        return Fail(path + " is not a Firefox cache entry: its metadata is too large (" +
                    std::to_string(tailSize) + " bytes)");
    }
    EntryFile entry;
    if (tailSize > first) {
        tail = ReadAt(file.fd.get(), bodyLength, static_cast<std::size_t>(tailSize), path);
        if (!tail) {
            return Failure{tail.error()};
        }
    } else {
        const std::size_t skip = first - static_cast<std::size_t>(tailSize);
        if (first == size) {
            // The whole file was read: the body's start is in it.
            entry.storedPrefix =
                tail->substr(0, std::min<std::size_t>(bodyLength, kStoredPrefixSize));
        }
        tail->erase(0, skip);
    }
    auto metadata = ParseMetadata(Bytes(*tail), *trailer);
    if (!metadata) {
        return Fail(path + " is not a Firefox cache entry: " + metadata.error());
    }
    if (first != size && bodyLength > 0) {
        auto start =
            ReadAt(file.fd.get(), 0, std::min<std::size_t>(bodyLength, kStoredPrefixSize), path);
        if (!start) {
            return Failure{start.error()};
        }
        entry.storedPrefix = std::move(*start);
    }
    entry.metadata = std::move(metadata.value());
    return entry;
}

}  // namespace pellimor::firefox::cache2
