// A cursor over a movie's bytes that never reads past the end: SWF's little-endian fields,
// its zero-terminated strings, ABC's variable-length integers and the bit fields of RECT.
// A read that would pass the end yields nothing and leaves the cursor where it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace pellimor {

class SwfCursor {
  public:
    explicit SwfCursor(std::string_view bytes, std::size_t at = 0)
        : bytes_(bytes), at_(at <= bytes.size() ? at : bytes.size()) {}

    std::size_t offset() const { return at_; }
    std::size_t left() const { return bytes_.size() - at_; }

    std::optional<std::uint8_t> U8() { return Little<std::uint8_t>(); }
    std::optional<std::uint16_t> U16() { return Little<std::uint16_t>(); }
    std::optional<std::uint32_t> U32() { return Little<std::uint32_t>(); }
    std::optional<std::uint64_t> U64() { return Little<std::uint64_t>(); }

    std::optional<std::string_view> Bytes(std::size_t count) {
        if (count > left()) {
            return std::nullopt;
        }
        const std::string_view taken = bytes_.substr(at_, count);
        at_ += count;
        return taken;
    }
    bool Skip(std::size_t count) { return Bytes(count).has_value(); }

    // Text up to its zero byte, which is passed over; nothing when no zero byte follows.
    std::optional<std::string_view> CString() {
        const std::size_t end = bytes_.find('\0', at_);
        if (end == std::string_view::npos) {
            return std::nullopt;
        }
        const std::string_view text = bytes_.substr(at_, end - at_);
        at_ = end + 1;
        return text;
    }

    // ABC's u30/u32/s32: seven bits a byte, lowest first, at most five bytes.
    std::optional<std::uint32_t> VarU32() {
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < 5; ++i) {
            if (at_ + i >= bytes_.size()) {
                return std::nullopt;
            }
            const auto byte = static_cast<std::uint8_t>(bytes_[at_ + i]);
            value |= static_cast<std::uint32_t>(byte & 0x7F) << (7 * i);
            if ((byte & 0x80) == 0 || i == 4) {
                at_ += i + 1;
                return value;
            }
        }
        return std::nullopt;
    }

  private:
    template <typename T>
    std::optional<T> Little() {
        if (sizeof(T) > left()) {
            return std::nullopt;
        }
        T value = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i) {
            value |= static_cast<T>(static_cast<T>(static_cast<std::uint8_t>(bytes_[at_ + i]))
                                    << (8 * i));
        }
        at_ += sizeof(T);
        return value;
    }

    std::string_view bytes_;
    std::size_t at_;
};

// Bit fields, highest bit first, as RECT and MATRIX keep them; starts on a byte boundary.
class SwfBitReader {
  public:
    explicit SwfBitReader(SwfCursor& bytes) : bytes_(bytes) {}

    std::optional<std::uint32_t> Unsigned(int count) {
        std::uint32_t value = 0;
        for (int i = 0; i < count; ++i) {
            if (used_ == 8) {
                const auto next = bytes_.U8();
                if (!next) {
                    return std::nullopt;
                }
                current_ = *next;
                used_ = 0;
            }
            value = value << 1 | ((current_ >> (7 - used_)) & 1U);
            ++used_;
        }
        return value;
    }

    std::optional<std::int32_t> Signed(int count) {
        const auto raw = Unsigned(count);
        if (!raw || count == 0) {
            return raw ? std::optional<std::int32_t>(0) : std::nullopt;
        }
        const std::uint32_t sign = 1U << (count - 1);
        const auto widened = static_cast<std::int64_t>(*raw) -
                             ((*raw & sign) != 0 ? (static_cast<std::int64_t>(sign) << 1) : 0);
        return static_cast<std::int32_t>(widened);
    }

  private:
    SwfCursor& bytes_;
    std::uint8_t current_ = 0;
    int used_ = 8;
};

}  // namespace pellimor
