// The player log's cleaning of console lines, on any line a movie could log: never longer
// than the line, a line without "%c" left as it is, no trailing space, and in one pass.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "ui/player/ConsoleText.h"

namespace {

void Check(bool holds) {
    if (!holds) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const std::string text = pellimor::PlainConsoleText(line);
    Check(text.size() <= line.size());
    if (line.find("%c") == std::string_view::npos) {
        Check(text == line);
    } else {
        Check(text.empty() || text.back() != ' ');
    }
    return 0;
}
