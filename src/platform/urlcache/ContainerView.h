// Read access to one index.dat container held in memory or mapped; every offset is
// checked before use, so any byte sequence can be handed in.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ground/ByteReader.h"
#include "ports/Result.h"

namespace pellimor::indexdat {

enum class Flavour { kInternetExplorer, kWine };

struct Subfolder {
    std::uint32_t fileCount = 0;
    std::string name;  // the 8 bytes as stored, trailing zeros removed
};

struct Header {
    Flavour flavour = Flavour::kInternetExplorer;
    std::uint32_t fileSize = 0;
    std::uint32_t hashTableOffset = 0;
    std::uint32_t capacityBlocks = 0;
    std::uint32_t blocksInUse = 0;
    std::uint64_t cacheLimit = 0;
    std::uint64_t cacheUsage = 0;
    std::uint64_t exemptUsage = 0;
    std::vector<Subfolder> subfolders;
};

// A URL (or LEAK) record as stored; texts are the container's own 8-bit bytes.
struct RawUrlRecord {
    std::uint32_t offset = 0;
    std::uint32_t signature = 0;
    std::uint32_t blocks = 0;
    std::uint32_t entryType = 0;
    std::optional<std::string_view> url;
    std::optional<std::string_view> fileName;
    std::uint8_t subfolder = 0;
    std::uint64_t lastModified = 0;
    std::uint64_t lastAccess = 0;
    std::uint32_t expiryDos = 0;  // date in the low half, time in the high half
    std::uint32_t lastSyncDos = 0;
    std::uint32_t writeTimeDos = 0;
    std::uint64_t fileSize = 0;
    std::uint32_t exemptDelta = 0;
    std::uint32_t hitCount = 0;
    std::uint32_t useCount = 0;
    std::string_view headers;
};

struct HashItem {
    std::uint32_t tableOffset = 0;  // the hash table holding the item
    std::uint32_t index = 0;        // 0 .. 447
    std::uint32_t key = 0;
    std::uint32_t recordOffset = 0;
};

class ContainerView {
  public:
    // Reads and checks the header; a failure names what was found.
    static Result<ContainerView> Open(std::span<const std::uint8_t> bytes);

    const Header& header() const { return header_; }
    std::span<const std::uint8_t> bytes() const { return reader_.bytes(); }

    // Visits the items of every hash table in chain order. Fails, saying where, when the
    // chain is broken (a loop, an offset outside the file, a record that is not a hash
    // table); the items before the break have been visited.
    Status ForEachHashItem(const std::function<bool(const HashItem&)>& visit) const;

    // The URL or LEAK record at offset, when it lies wholly inside the file and its texts
    // are terminated inside the record.
    std::optional<RawUrlRecord> ReadUrlRecord(std::uint32_t offset) const;

    // Visits the live URL records in the order the platform's enumeration yields them.
    Status ForEachLiveUrl(
        const std::function<bool(const RawUrlRecord&, const HashItem&)>& visit) const;

    // The last byte the header and the records may use: the smaller of the recorded and
    // the real size.
    std::size_t usableSize() const { return usable_; }

    bool IsBlockUsed(std::uint32_t block) const;

  private:
    ContainerView(std::span<const std::uint8_t> bytes, Header header, std::size_t usable)
        : reader_(bytes), header_(std::move(header)), usable_(usable) {}

    ByteReader reader_;
    Header header_;
    std::size_t usable_;
};

}  // namespace pellimor::indexdat
