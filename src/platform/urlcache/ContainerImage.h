// A container held in memory for changing: a new one made from nothing, or a copy of a
// file that is written back whole once the change is complete and checked.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
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
    // A failure says why the bytes hold no container's header.
    static Result<ContainerImage> FromBytes(std::vector<std::uint8_t> bytes);

    // Adds a URL record and files its hash item where the platform looks the address up
    // (UrlHash.h), growing the file when the blocks run out. A live record of the same
    // address is replaced, as the platform's commit does: its blocks are freed, the folder
    // count and usage forget its file (which the caller removes), its item is deleted, and
    // the new record's hit count goes on from its. Returns the new record's offset, or
    // nothing when the container is full or its hash tables are broken; after a failure
    // the image is not to be saved.
    std::optional<std::uint32_t> AddUrl(const NewRecord& record);

    // The hash items of the live URL records of exactly this address: those where the
    // platform looks, and those another writer filed elsewhere.
    std::vector<HashItem> FindUrl(std::string_view url);

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
    // Files the item in open, or in a table added to the chain when there is none.
    bool AddHashItem(std::uint32_t hash, std::uint32_t recordOffset,
                     const std::vector<std::uint32_t>& tables, std::optional<HashItem> open);
    // The hash tables in chain order, or nothing when the chain is broken.
    std::optional<std::vector<std::uint32_t>> HashTables() const;
    // FindUrl along the given tables; with open, also the first item of the address's
    // bucket that is free, deleted or one of those found (which an add deletes first).
    std::vector<HashItem> FindUrlIn(std::string_view url, const std::vector<std::uint32_t>& tables,
                                    std::optional<HashItem>* open = nullptr);
    // Live URL items that a lookup by their own address would not reach.
    const std::vector<HashItem>& Misfiled();
    void FreeBlocks(std::uint32_t offset, std::uint32_t blocks);
    void ForgetFile(const RawUrlRecord& record);

    bool BlockUsed(std::uint32_t block) const {
        return (bytes_[kBitmapStart + block / 8] >> (block % 8)) & 1;
    }
    static constexpr std::size_t kBitmapStart = 0x250;

    std::vector<std::uint8_t> bytes_;
    std::uint32_t searchFrom_ = 0;  // every block below it is in use
    // Found once, on the first add; this image files every item it adds in place.
    std::optional<std::vector<HashItem>> misfiled_;
};

}  // namespace pellimor::indexdat
