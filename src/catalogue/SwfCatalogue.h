// The ordered list of movies the window shows; rebuilt whole by every scan.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <string>
#include <string_view>
#include <utility>

#include "catalogue/SwfEntry.h"

namespace pellimor {

class SwfCatalogue {
  public:
    using const_iterator = std::list<SwfEntry>::const_iterator;

    void Clear() { entries_.clear(); }
    void Append(SwfEntry entry) { entries_.push_back(std::move(entry)); }
    bool IsEmpty() const { return entries_.empty(); }
    std::size_t Count() const { return entries_.size(); }
    const_iterator begin() const { return entries_.begin(); }
    const_iterator end() const { return entries_.end(); }

    // A copy of the first entry with this key, or a default entry (key 0).
    SwfEntry GetEntryByKey(std::int32_t key) const;
    // Removes the first entry with this key; false when there is none.
    bool RemoveEntryByKey(std::int32_t key);

  private:
    std::list<SwfEntry> entries_;
};

// The name a path is listed under: the file name without its "[n]" suffix or extension,
// or "noname". The separator is "/", this platform's.
std::string DisplayNameFromPath(std::string_view path);

}  // namespace pellimor
