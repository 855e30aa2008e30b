// The core's texts are UTF-8 std strings; the window shows them as QStrings.
#pragma once

#include <QString>

#include <string_view>

namespace pellimor {

inline QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace pellimor
