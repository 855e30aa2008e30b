#include "catalogue/SwfCatalogue.h"

#include <algorithm>

namespace pellimor {

// A walk, as the window never holds more than one scan's entries; measured at 100,000
// entries in bench/ and cheap beside the scan that fills them.
SwfEntry SwfCatalogue::GetEntryByKey(std::int32_t key) const {
    const auto found = std::find_if(entries_.begin(), entries_.end(),
                                    [key](const SwfEntry& e) { return e.key == key; });
    return found == entries_.end() ? SwfEntry{} : *found;
}

bool SwfCatalogue::RemoveEntryByKey(std::int32_t key) {
    const auto found = std::find_if(entries_.begin(), entries_.end(),
                                    [key](const SwfEntry& e) { return e.key == key; });
    if (found == entries_.end()) {
        return false;
    }
    entries_.erase(found);
    return true;
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
