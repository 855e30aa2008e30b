// The ordered list of movies the window shows; rebuilt whole by every scan. A large cache
// lists 100,000 movies and more: the entries are kept compact (their texts in shared blocks,
// a text repeated from the entry before or found inside the entry's address or path kept
// once) and made into SwfEntry values when asked for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "catalogue/SwfEntry.h"

namespace pellimor {

// A stored entry's texts and numbers, viewing the catalogue's storage: valid until the
// catalogue is cleared.
struct SwfEntryView {
    std::string_view url;
    std::string_view lastModified;
    std::string_view sizeText;
    std::string_view localPath;
    std::string_view displayName;
    std::int32_t key = 0;
    bool sizeWhenShown = false;
    std::string_view idSource;
    std::string_view idFile;
    std::uint64_t idLocator = 0;
    std::string_view source;
    std::optional<std::uint64_t> sizeBytes;
    std::optional<UnixTime> lastModifiedTime;
    std::string_view site;
    std::string_view unreadable;

    bool IsLeftover() const { return !localPath.empty() && url == localPath; }
    SwfEntry ToEntry() const;
};

class SwfCatalogue {
  public:
    // Walks the entries in order. Each is made into a SwfEntry the first time it is walked
    // to and kept until the catalogue is cleared, so that references to it stay good as
    // they did when the entries were kept whole.
    class const_iterator {
      public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = SwfEntry;
        using difference_type = std::ptrdiff_t;
        using pointer = const SwfEntry*;
        using reference = const SwfEntry&;

        const_iterator() = default;
        const SwfEntry& operator*() const { return catalogue_->EntryAt(slot_); }
        const SwfEntry* operator->() const { return &catalogue_->EntryAt(slot_); }
        const_iterator& operator++() {
            slot_ = catalogue_->NextLive(slot_ + 1);
            return *this;
        }
        const_iterator operator++(int) {
            const_iterator before = *this;
            ++*this;
            return before;
        }
        bool operator==(const const_iterator& other) const { return slot_ == other.slot_; }

      private:
        friend class SwfCatalogue;
        const_iterator(const SwfCatalogue* catalogue, std::size_t slot)
            : catalogue_(catalogue), slot_(slot) {}
        const SwfCatalogue* catalogue_ = nullptr;
        std::size_t slot_ = 0;
    };

    SwfCatalogue() = default;
    SwfCatalogue(const SwfCatalogue& other) { *this = other; }
    SwfCatalogue& operator=(const SwfCatalogue& other);
    SwfCatalogue(SwfCatalogue&&) noexcept = default;
    SwfCatalogue& operator=(SwfCatalogue&&) noexcept = default;

    void Clear();
    void Append(const SwfEntry& entry);
    // The size of the file of the entry at slot, looked up after it was appended.
    void SetSize(std::size_t slot, std::optional<std::uint64_t> bytes, std::string_view text);
    bool IsEmpty() const { return live_ == 0; }
    std::size_t Count() const { return live_; }
    const_iterator begin() const { return {this, NextLive(0)}; }
    const_iterator end() const { return {this, slots_}; }

    // A copy of the first entry with this key, or a default entry (key 0).
    SwfEntry GetEntryByKey(std::int32_t key) const;
    // Removes the first entry with this key; false when there is none.
    bool RemoveEntryByKey(std::int32_t key);

    // Slots hold the entries in order, removed ones included: for walks that need no
    // SwfEntry values.
    std::size_t Slots() const { return slots_; }
    bool IsLive(std::size_t slot) const { return Stored(slot).live; }
    std::int32_t KeyAt(std::size_t slot) const { return Stored(slot).key; }
    std::string_view DisplayNameAt(std::size_t slot) const {
        return Text(Stored(slot).displayName);
    }
    SwfEntryView ViewAt(std::size_t slot) const;

  private:
    // Where a text lies: in the blocks (offset counts across them), or, with kOwn set in
    // length, in a string of its own (offset is its index).
    struct TextRef {
        std::uint32_t offset = 0;
        std::uint32_t length = 0;
    };
    struct Entry {
        TextRef url, lastModified, sizeText, localPath, displayName, idSource, idFile, source, site,
            unreadable;
        std::uint64_t idLocator = 0;
        std::uint64_t sizeBytes = 0;
        UnixTime lastModifiedTime = 0;
        std::int32_t key = 0;
        bool live = false;
        bool sizeWhenShown = false;
        bool hasSizeBytes = false;
        bool hasLastModifiedTime = false;
    };
    static constexpr std::size_t kTextBlock = 1 << 18;
    static constexpr std::size_t kEntryBlock = 1024;
    static constexpr std::uint32_t kOwn = 0x80000000U;

    const Entry& Stored(std::size_t slot) const {
        return entries_[slot / kEntryBlock][slot % kEntryBlock];
    }
    Entry& Stored(std::size_t slot) { return entries_[slot / kEntryBlock][slot % kEntryBlock]; }
    std::size_t NextLive(std::size_t slot) const;
    const SwfEntry& EntryAt(std::size_t slot) const;
    std::string_view Text(TextRef ref) const;
    TextRef Add(std::string_view text);
    // text kept once: as the same field of the entry before, inside one of the texts
    // given, or added.
    TextRef AddShared(std::string_view text, TextRef before, std::initializer_list<TextRef> within);

    std::vector<std::unique_ptr<char[]>> textBlocks_;
    std::size_t textUsed_ = 0;  // bytes used in the last block
    std::vector<std::string> ownTexts_;
    std::vector<std::unique_ptr<Entry[]>> entries_;
    std::size_t slots_ = 0;
    std::size_t live_ = 0;
    // The entries walked to, by slot (see const_iterator).
    mutable std::vector<std::unique_ptr<SwfEntry>> made_;
};

// The name a path is listed under: the file name without its "[n]" suffix or extension,
// or "noname". The separator is "/", this platform's.
std::string DisplayNameFromPath(std::string_view path);

}  // namespace pellimor
