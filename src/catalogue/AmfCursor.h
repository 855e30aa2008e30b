// The bounded big-endian cursor a save is read with: every read is checked against the bytes
// left, and the first failure (why, and where) holds whatever is read after it.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pellimor::amf {

class Cursor {
  public:
    explicit Cursor(std::string_view bytes) : bytes_(bytes) {}

    std::size_t offset() const { return offset_; }
    std::size_t left() const { return bytes_.size() - offset_; }
    bool failed() const { return !why_.empty(); }
    const std::string& why() const { return why_; }
    std::size_t failedAt() const { return failedAt_; }

    void Fail(std::string why) {
        if (why_.empty()) {
            why_ = std::move(why);
            failedAt_ = offset_;
        }
    }

    std::optional<std::uint64_t> Unsigned(int size) {
        if (failed() || left() < static_cast<std::size_t>(size)) {
            Fail("the file ends inside a value");
            return std::nullopt;
        }
        std::uint64_t value = 0;
        for (int i = 0; i < size; ++i) {
            value = (value << 8) | static_cast<unsigned char>(bytes_[offset_++]);
        }
        return value;
    }

    std::optional<double> Double() {
        const auto bits = Unsigned(8);
        return bits ? std::optional<double>(std::bit_cast<double>(*bits)) : std::nullopt;
    }

    // AMF3's variable-length 29-bit integer.
    std::optional<std::uint32_t> U29() {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const auto byte = Unsigned(1);
            if (!byte) {
                return std::nullopt;
            }
            if (i == 3) {
                return (value << 8) | static_cast<std::uint32_t>(*byte);
            }
            value = (value << 7) | (*byte & 0x7F);
            if ((*byte & 0x80) == 0) {
                return value;
            }
        }
        return value;
    }

    // Length bytes, refused before anything is copied when the file holds fewer.
    std::optional<std::string_view> Bytes(std::uint64_t length) {
        if (failed()) {
            return std::nullopt;
        }
        if (length > left()) {
            Fail("a length of " + std::to_string(length) + " reaches past the end of the file");
            return std::nullopt;
        }
        const std::string_view bytes = bytes_.substr(offset_, static_cast<std::size_t>(length));
        offset_ += static_cast<std::size_t>(length);
        return bytes;
    }

    std::optional<unsigned char> Peek() const {
        return left() > 0 ? std::optional<unsigned char>(bytes_[offset_]) : std::nullopt;
    }

  private:
    std::string_view bytes_;
    std::size_t offset_ = 0;
    std::string why_;
    std::size_t failedAt_ = 0;
};

}  // namespace pellimor::amf
