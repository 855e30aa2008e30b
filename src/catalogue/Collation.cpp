#include "catalogue/Collation.h"

#include <algorithm>

#include "ground/AsciiText.h"

namespace pellimor {

namespace {
unsigned char Fold(char c) {
    return static_cast<unsigned char>(LowerAscii(c));
}
}  // namespace

int CollateTexts(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (Fold(a[i]) != Fold(b[i])) {
            return Fold(a[i]) < Fold(b[i]) ? -1 : 1;
        }
    }
    if (a.size() != b.size()) {
        return a.size() < b.size() ? -1 : 1;
    }
    return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
}

}  // namespace pellimor
