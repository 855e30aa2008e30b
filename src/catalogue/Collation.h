// The order of the two sorted lists: letters compared without regard to ASCII case, then
// by bytes. Sorting with it is stable, so equal texts keep the order they were added in.
#pragma once

#include <string_view>

namespace pellimor {

// Negative, zero or positive, as a is before, equal to or after b.
int CollateTexts(std::string_view a, std::string_view b);

inline bool CollatesBefore(std::string_view a, std::string_view b) {
    return CollateTexts(a, b) < 0;
}

}  // namespace pellimor
