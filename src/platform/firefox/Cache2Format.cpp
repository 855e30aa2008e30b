#include "platform/firefox/Cache2Format.h"

#include <algorithm>

#include "ground/ByteReader.h"

namespace pellimor::firefox::cache2 {

Result<Trailer> ReadTrailer(std::span<const std::uint8_t> last, std::uint64_t fileSize) {
    const BigEndianReader reader(last);
    if (fileSize < kOffsetFieldSize || last.size() < kOffsetFieldSize) {
        return Fail("too short for a cache entry (" + std::to_string(fileSize) + " bytes)");
    }
    Trailer trailer;
    const std::uint32_t word = reader.U32(last.size() - kOffsetFieldSize).value_or(0);
    // Older entries end in the offset alone; the word before it is then the end of the
    // elements, whose last byte is a NUL, so it never reads as a version.
    if (last.size() >= kLongestTrailer) {
        const std::uint32_t version = reader.U32(last.size() - kLongestTrailer).value_or(0);
        if (version >= kTrailerVersion && version <= kLastVersion) {
            trailer.size = kLongestTrailer;
            if (word & kEncryptedFlag) {
                return Fail("it is sealed by Firefox's disk-cache encryption");
            }
        }
    }
    trailer.bodyLength = word;
    if (fileSize < trailer.size || trailer.bodyLength > fileSize - trailer.size) {
        return Fail("its metadata offset " + std::to_string(trailer.bodyLength) +
                    " lies past its end (" + std::to_string(fileSize) + " bytes)");
    }
    return trailer;
}

Result<Metadata> ParseMetadata(std::span<const std::uint8_t> tail, const Trailer& trailer) {
    const BigEndianReader reader(tail);
    const std::uint32_t bodyLength = trailer.bodyLength;
    if (tail.size() < trailer.size) {
        return Fail("its metadata is cut short");
    }
    if (tail.size() > kMaxMetadataSize) {
        return Fail("its metadata is too large (" + std::to_string(tail.size()) + " bytes)");
    }
    const std::size_t end = tail.size() - trailer.size;  // where the elements stop
    const std::uint64_t chunks = (std::uint64_t{bodyLength} + kChunkSize - 1) / kChunkSize;
    const std::uint64_t headerAt = kMetadataHashSize + chunks * kChunkHashSize;
    if (headerAt + kHeaderFieldsV1 * kHeaderFieldSize > end) {
        return Fail("its metadata is too short for its header");
    }
    const auto field = [&](std::size_t index) {
        return reader.U32(static_cast<std::size_t>(headerAt) + index * kHeaderFieldSize)
            .value_or(0);
    };
    Metadata metadata;
    metadata.bodyLength = bodyLength;
    metadata.version = field(0);
    if (metadata.version < kFirstVersion || metadata.version > kLastVersion) {
        return Fail("unknown metadata version " + std::to_string(metadata.version));
    }
    metadata.fetchCount = field(1);
    metadata.lastFetched = field(2);
    metadata.lastModified = field(3);
    metadata.frecency = field(4);
    metadata.expiration = field(5);
    const std::uint32_t keySize = field(6);
    std::size_t fields = kHeaderFieldsV1;
    if (metadata.version >= kFlagsVersion) {
        fields = kHeaderFieldsV2;
        if (headerAt + fields * kHeaderFieldSize > end) {
            return Fail("its metadata is too short for its header");
        }
        metadata.flags = field(7);
    }
    const std::uint64_t keyAt = headerAt + fields * kHeaderFieldSize;
    // The key and its terminating NUL must fit before the offset field.
    if (std::uint64_t{keySize} + 1 > end - keyAt) {
        return Fail("its key size " + std::to_string(keySize) + " passes the end of its metadata");
    }
    const std::size_t keyStart = static_cast<std::size_t>(keyAt);
    if (tail[keyStart + keySize] != 0) {
        return Fail("its key is not terminated");
    }
    metadata.key = std::string(reader.Text(keyStart, keySize));
    const std::size_t elementsAt = keyStart + keySize + 1;
    metadata.elements = std::string(reader.Text(elementsAt, end - elementsAt));
    if (!metadata.elements.empty() && metadata.elements.back() != '\0') {
        return Fail("its metadata elements are not terminated");
    }
    return metadata;
}

Result<Metadata> ParseEntryFile(std::span<const std::uint8_t> file) {
    if (file.size() < kOffsetFieldSize) {
        return Fail("too short for a cache entry (" + std::to_string(file.size()) + " bytes)");
    }
    const auto trailer =
        ReadTrailer(file.last(std::min(file.size(), kLongestTrailer)), file.size());
    if (!trailer) {
        return Failure{trailer.error()};
    }
    return ParseMetadata(file.subspan(trailer->bodyLength), *trailer);
}

std::optional<std::string_view> UrlOfKey(std::string_view key) {
    std::size_t at = 0;
    while (at < key.size()) {
        if (key[at] == ':') {
            const std::string_view url = key.substr(at + 1);
            if (url.empty()) {
                return std::nullopt;
            }
            return url;
        }
        // Skip this tag: up to a ',' that is not doubled.
        std::size_t next = at;
        while (true) {
            next = key.find(',', next);
            if (next == std::string_view::npos) {
                return std::nullopt;
            }
            if (next + 1 < key.size() && key[next + 1] == ',') {
                next += 2;
                continue;
            }
            break;
        }
        at = next + 1;
    }
    return std::nullopt;
}

bool IsPredictorKey(std::string_view key) {
    return key.starts_with(kPredictorTag);
}

bool IsEntryName(std::string_view name) {
    if (name.size() != kEntryNameLength) {
        return false;
    }
    for (const char c : name) {
        const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!hex) {
            return false;
        }
    }
    return true;
}

}  // namespace pellimor::firefox::cache2
