#include "catalogue/SwfCatalogue.h"

#include <cstring>
#include <limits>

namespace pellimor {

SwfEntry SwfEntryView::ToEntry() const {
    SwfEntry entry;
    entry.url = url;
    entry.lastModified = lastModified;
    entry.sizeText = sizeText;
    entry.localPath = localPath;
    entry.displayName = displayName;
    entry.key = key;
    entry.sizeWhenShown = sizeWhenShown;
    entry.id = EntryId{std::string(idSource), std::string(idFile), idLocator};
    entry.source = source;
    entry.sizeBytes = sizeBytes;
    entry.lastModifiedTime = lastModifiedTime;
    entry.site = site;
    entry.unreadable = unreadable;
    return entry;
}

SwfCatalogue& SwfCatalogue::operator=(const SwfCatalogue& other) {
    if (this != &other) {
        Clear();
        for (std::size_t slot = other.NextLive(0); slot < other.slots_;
             slot = other.NextLive(slot + 1)) {
            Append(other.ViewAt(slot).ToEntry());
        }
    }
    return *this;
}

void SwfCatalogue::Clear() {
    textBlocks_.clear();
    textUsed_ = 0;
    ownTexts_.clear();
    entries_.clear();
    slots_ = 0;
    live_ = 0;
    made_.clear();
}

std::string_view SwfCatalogue::Text(TextRef ref) const {
    if (ref.length == 0) {
        return {};
    }
    if ((ref.length & kOwn) != 0) {
        return ownTexts_[ref.offset];
    }
    return {textBlocks_[ref.offset / kTextBlock].get() + ref.offset % kTextBlock, ref.length};
}

SwfCatalogue::TextRef SwfCatalogue::Add(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    // Long texts, and any once the blocks would pass what an offset can say, stand alone.
    const std::size_t nextBlockStart = textBlocks_.size() * kTextBlock;
    if (text.size() > kTextBlock / 8 ||
        nextBlockStart + kTextBlock > std::numeric_limits<std::uint32_t>::max()) {
        ownTexts_.emplace_back(text);
        return {static_cast<std::uint32_t>(ownTexts_.size() - 1), kOwn};
    }
    if (textBlocks_.empty() || textUsed_ + text.size() > kTextBlock) {
        textBlocks_.push_back(std::make_unique<char[]>(kTextBlock));
        textUsed_ = 0;
    }
    const std::size_t block = textBlocks_.size() - 1;
    std::memcpy(textBlocks_[block].get() + textUsed_, text.data(), text.size());
    const TextRef ref{static_cast<std::uint32_t>(block * kTextBlock + textUsed_),
                      static_cast<std::uint32_t>(text.size())};
    textUsed_ += text.size();
    return ref;
}

SwfCatalogue::TextRef SwfCatalogue::AddShared(std::string_view text, TextRef before,
                                              std::initializer_list<TextRef> within) {
    if (text.empty()) {
        return {};
    }
    if (Text(before) == text) {
        return before;
    }
    for (const TextRef ref : within) {
        if ((ref.length & kOwn) != 0) {
            continue;
        }
        const std::string_view outer = Text(ref);
        const std::size_t at = outer.rfind(text);
        if (at != std::string_view::npos) {
            return {static_cast<std::uint32_t>(ref.offset + at),
                    static_cast<std::uint32_t>(text.size())};
        }
    }
    return Add(text);
}

void SwfCatalogue::Append(const SwfEntry& entry) {
    if (slots_ % kEntryBlock == 0) {
        entries_.push_back(std::make_unique<Entry[]>(kEntryBlock));
    }
    const Entry previous = slots_ > 0 ? Stored(slots_ - 1) : Entry{};
    Entry& stored = Stored(slots_);
    stored = Entry{};
    stored.url = AddShared(entry.url, previous.url, {});
    stored.localPath = AddShared(entry.localPath, previous.localPath, {stored.url});
    stored.displayName = AddShared(entry.displayName, previous.displayName, {stored.localPath});
    stored.site = AddShared(entry.site, previous.site, {stored.url});
    stored.lastModified = AddShared(entry.lastModified, previous.lastModified, {});
    stored.sizeText = AddShared(entry.sizeText, previous.sizeText, {});
    stored.idSource = AddShared(entry.id.source, previous.idSource, {});
    stored.idFile = AddShared(entry.id.file, previous.idFile, {});
    stored.source = AddShared(entry.source, previous.source, {});
    stored.unreadable = AddShared(entry.unreadable, previous.unreadable, {});
    stored.idLocator = entry.id.locator;
    stored.hasSizeBytes = entry.sizeBytes.has_value();
    stored.sizeBytes = entry.sizeBytes.value_or(0);
    stored.hasLastModifiedTime = entry.lastModifiedTime.has_value();
    stored.lastModifiedTime = entry.lastModifiedTime.value_or(0);
    stored.key = entry.key;
    stored.sizeWhenShown = entry.sizeWhenShown;
    stored.live = true;
    ++slots_;
    ++live_;
}

void SwfCatalogue::SetSize(std::size_t slot, std::optional<std::uint64_t> bytes,
                           std::string_view text) {
    Entry& stored = Stored(slot);
    stored.sizeWhenShown = false;
    stored.hasSizeBytes = bytes.has_value();
    stored.sizeBytes = bytes.value_or(0);
    stored.sizeText = AddShared(text, slot > 0 ? Stored(slot - 1).sizeText : TextRef{}, {});
    if (slot < made_.size()) {
        made_[slot].reset();
    }
}

SwfEntryView SwfCatalogue::ViewAt(std::size_t slot) const {
    const Entry& e = Stored(slot);
    SwfEntryView view;
    view.url = Text(e.url);
    view.lastModified = Text(e.lastModified);
    view.sizeText = Text(e.sizeText);
    view.localPath = Text(e.localPath);
    view.displayName = Text(e.displayName);
    view.key = e.key;
    view.sizeWhenShown = e.sizeWhenShown;
    view.idSource = Text(e.idSource);
    view.idFile = Text(e.idFile);
    view.idLocator = e.idLocator;
    view.source = Text(e.source);
    if (e.hasSizeBytes) {
        view.sizeBytes = e.sizeBytes;
    }
    if (e.hasLastModifiedTime) {
        view.lastModifiedTime = e.lastModifiedTime;
    }
    view.site = Text(e.site);
    view.unreadable = Text(e.unreadable);
    return view;
}

std::size_t SwfCatalogue::NextLive(std::size_t slot) const {
    while (slot < slots_ && !Stored(slot).live) {
        ++slot;
    }
    return slot;
}

const SwfEntry& SwfCatalogue::EntryAt(std::size_t slot) const {
    if (made_.size() <= slot) {
        made_.resize(slots_);
    }
    if (!made_[slot]) {
        made_[slot] = std::make_unique<SwfEntry>(ViewAt(slot).ToEntry());
    }
    return *made_[slot];
}

// A walk, as the window never holds more than one scan's entries; measured at 100,000
// entries in bench/ and cheap beside the scan that fills them.
SwfEntry SwfCatalogue::GetEntryByKey(std::int32_t key) const {
    for (std::size_t slot = 0; slot < slots_; ++slot) {
        const Entry& e = Stored(slot);
        if (e.live && e.key == key) {
            return ViewAt(slot).ToEntry();
        }
    }
    return SwfEntry{};
}

bool SwfCatalogue::RemoveEntryByKey(std::int32_t key) {
    for (std::size_t slot = 0; slot < slots_; ++slot) {
        Entry& e = Stored(slot);
        if (e.live && e.key == key) {
            e.live = false;
            --live_;
            return true;
        }
    }
    return false;
}

std::string DisplayNameFromPath(std::string_view path) {
    const auto separator = path.rfind('/');
    const std::size_t start = separator == std::string_view::npos ? 0 : separator + 1;
    std::string name;
    const auto bracket = path.rfind('[');
    const auto dot = path.rfind('.');
    // The marks are searched in the whole path, so they only count after the last separator.
    if (bracket != std::string_view::npos && start < bracket) {
        name = path.substr(start, bracket - start);
    } else if (dot != std::string_view::npos && start < dot) {
        name = path.substr(start, dot - start);
    }
    return name.empty() ? "noname" : name;
}

}  // namespace pellimor
