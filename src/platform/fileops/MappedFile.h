// A whole file mapped read-only for the time of one operation.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "ports/Result.h"

namespace pellimor {

class MappedFile {
  public:
    // Fails, naming the path, when it is not a readable regular file.
    static Result<MappedFile> Open(const std::string& path);
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
