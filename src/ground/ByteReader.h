// Bounds-checked little-endian reads from a byte range. Every on-disk structure of the
// program is read through this one helper: a read that would pass the end yields nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace pellimor {

enum class ByteOrder { kLittleEndian, kBigEndian };

template <ByteOrder kOrder>
class OrderedByteReader {
  public:
    explicit OrderedByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::size_t size() const { return bytes_.size(); }
    std::span<const std::uint8_t> bytes() const { return bytes_; }

    bool Has(std::size_t offset, std::size_t length) const {
        return offset <= bytes_.size() && length <= bytes_.size() - offset;
    }

    std::optional<std::uint8_t> U8(std::size_t offset) const { return Read<std::uint8_t>(offset); }
    std::optional<std::uint16_t> U16(std::size_t offset) const {
        return Read<std::uint16_t>(offset);
    }
    std::optional<std::uint32_t> U32(std::size_t offset) const {
        return Read<std::uint32_t>(offset);
    }
    std::optional<std::uint64_t> U64(std::size_t offset) const {
        return Read<std::uint64_t>(offset);
    }

    // The zero-terminated text at offset, not looking further than limit bytes;
    // nothing when the terminator is not inside the range.
    std::optional<std::string_view> CString(std::size_t offset, std::size_t limit) const {
        if (offset >= bytes_.size()) {
            return std::nullopt;
        }
        std::size_t end = offset;
        const std::size_t stop = bytes_.size() - offset < limit ? bytes_.size() : offset + limit;
        while (end < stop && bytes_[end] != 0) {
            ++end;
        }
        if (end == stop) {
            return std::nullopt;
        }
        return std::string_view(reinterpret_cast<const char*>(bytes_.data() + offset),
                                end - offset);
    }

    std::string_view Text(std::size_t offset, std::size_t length) const {
        if (!Has(offset, length)) {
            return {};
        }
        return std::string_view(reinterpret_cast<const char*>(bytes_.data() + offset), length);
    }

  private:
    template <typename T>
    std::optional<T> Read(std::size_t offset) const {
        if (!Has(offset, sizeof(T))) {
            return std::nullopt;
        }
        T value = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i) {
            const std::size_t place = kOrder == ByteOrder::kLittleEndian ? i : sizeof(T) - 1 - i;
            value |= static_cast<T>(static_cast<T>(bytes_[offset + i]) << (8 * place));
        }
        return value;
    }

    std::span<const std::uint8_t> bytes_;
};

using ByteReader = OrderedByteReader<ByteOrder::kLittleEndian>;
// The same reads for the formats that store numbers big-endian (Firefox's caches).
using BigEndianReader = OrderedByteReader<ByteOrder::kBigEndian>;

// Little-endian stores into a writable buffer; the caller has checked the range.
inline void PutU16(std::uint8_t* at, std::uint16_t v) {
    at[0] = static_cast<std::uint8_t>(v);
    at[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void PutU32(std::uint8_t* at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}
inline void PutU64(std::uint8_t* at, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) {
        at[i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

}  // namespace pellimor
