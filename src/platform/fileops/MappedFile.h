// A whole file mapped read-only for the time of one operation.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace pellimor {

class MappedFile {
  public:
    // Nothing, with error set, when the path is not a readable regular file.
    static std::optional<MappedFile> Open(const std::string& path, std::string& error);
    MappedFile(MappedFile&& other) noexcept;
    MappedFile& operator=(MappedFile&&) = delete;
    MappedFile(const MappedFile&) = delete;
    ~MappedFile();

    std::span<const std::uint8_t> bytes() const { return {data_, size_}; }

  private:
    MappedFile(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    const std::uint8_t* data_;
    std::size_t size_;
};

}  // namespace pellimor
