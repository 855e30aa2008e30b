// The texts of meta.yaml on any bytes: a quoted value never breaks its line or its quotes,
// and an HTTP date, when one is read, is a day that exists.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "files/ExportIndex.h"
#include "files/MetaYaml.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    char* text = static_cast<char*>(std::malloc(size == 0 ? 1 : size));
    std::copy(data, data + size, text);
    const std::string_view bytes(text, size);
    const std::string quoted = pellimor::YamlQuoted(bytes);
    if (quoted.size() < 2 || quoted.front() != '"' || quoted.back() != '"') {
        std::abort();
    }
    for (std::size_t i = 1; i + 1 < quoted.size(); ++i) {
        const auto c = static_cast<unsigned char>(quoted[i]);
        if (c < 0x20 || c == 0x7F) {
            std::abort();  // a raw control byte: YAML refuses it
        }
        if (c == '\\') {
            ++i;  // the escaped character
        } else if (c == '"') {
            std::abort();  // an unescaped quote ends the value early
        }
    }
    if (const auto time = pellimor::ParseHttpDate(bytes)) {
        const std::string day = pellimor::DayOf(*time);
        if (day.size() != 10 || day[4] != '-' || day[7] != '-') {
            std::abort();
        }
    }
    std::free(text);
    return 0;
}
