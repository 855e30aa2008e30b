// A container held in memory for changing: a new one made from nothing, or a copy of a
// file that is written back whole once the change is complete and checked.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/urlcache/ContainerView.h"

namespace pellimor::indexdat {

struct NewRecord {
    std::string url;                      // stored as given (8-bit)
    std::optional<std::string> fileName;  // the name inside its sub-folder
    std::uint8_t subfolder = kNoSubfolderIndex;
    std::uint32_t entryType = 1;
    std::uint64_t fileSize = 0;
    std::uint64_t lastModified = 0;
    std::uint64_t lastAccess = 0;
    std::uint32_t expiryDos = 0;
    std::uint32_t lastSyncDos = 0;
    std::uint32_t writeTimeDos = 0;
    std::uint32_t hitCount = 1;
    std::string headers;
    std::string extension;  // without the dot; empty for none

    static constexpr std::uint8_t kNoSubfolderIndex = 0xFE;
};

class ContainerImage {
  public:
    // An empty container with the given sub-folder names (8 bytes each).
    static ContainerImage CreateEmpty(Flavour flavour, const std::vector<std::string>& folders,
                                      std::uint64_t cacheLimit);
    static std::optional<ContainerImage> FromBytes(std::vector<std::uint8_t> bytes,
                                                   std::string& error);

    // Adds a URL record and its hash item, growing the file when the blocks run out.
    // Returns the record's offset, or nothing when the container is full.
    std::optional<std::uint32_t> AddUrl(const NewRecord& record);

    // The platform's delete of the record behind one hash item: keepAsLeak when the cached
    // file could not be removed.
    void DeleteUrl(const HashItem& item, bool keepAsLeak);
    // Marks a record that is in use by a running program for deletion on release.
    void MarkPendingDelete(std::uint32_t recordOffset);

    ContainerView View() const;
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

  private:
    explicit ContainerImage(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

    std::uint32_t U32(std::size_t at) const;
    void SetU32(std::size_t at, std::uint32_t value);
    std::uint64_t U64(std::size_t at) const;
    void SetU64(std::size_t at, std::uint64_t value);

    std::optional<std::uint32_t> AllocateBlocks(std::uint32_t count);
    bool Grow();
    void SetBlock(std::uint32_t block, bool used);
    std::optional<std::uint32_t> AddHashTable(std::uint32_t previous);
    bool AddHashItem(const std::string& url, std::uint32_t recordOffset);

    bool BlockUsed(std::uint32_t block) const {
        return (bytes_[kBitmapStart + block / 8] >> (block % 8)) & 1;
    }
    static constexpr std::size_t kBitmapStart = 0x250;

    std::vector<std::uint8_t> bytes_;
    std::uint32_t searchFrom_ = 0;  // every block below it is in use
};

// The hash value of an address as this writer files it (FNV-1a, 32 bits).
std::uint32_t UrlHash(const std::string& url);

}  // namespace pellimor::indexdat
