// A text of at most N bytes kept inside the object, so that filling it allocates nothing.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace pellimor {

template <std::size_t N>
class FixedText {
  public:
    static constexpr std::size_t kCapacity = N;

    std::string_view view() const { return std::string_view(bytes_.data(), size_); }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    void clear() { size_ = 0; }

    // False, and the text unchanged, when it would grow past N bytes.
    bool push_back(char c) {
        if (size_ == N) {
            return false;
        }
        bytes_[size_++] = c;
        return true;
    }
    bool assign(std::string_view text) {
        if (text.size() > N) {
            return false;
        }
        text.copy(bytes_.data(), text.size());
        size_ = text.size();
        return true;
    }

  private:
    std::array<char, N> bytes_;  // only the first size_ bytes are ever read
    std::size_t size_ = 0;
};

}  // namespace pellimor
