// The save reader on any bytes, as they are and behind a valid header of each AMF version:
// no crash, no read past the end, the bounds kept, a stop said with an offset inside the
// file (the value it stopped in kept, one level below the deepest), and whatever was kept
// shown as JSON. Ruffle's storage keys too: a key taken apart
// never names a part that leads out of its folder.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "catalogue/MovieSaves.h"
#include "catalogue/SolFile.h"

namespace {

std::size_t Count(const pellimor::AmfValue& value, int depth, int& deepest) {
    deepest = std::max(deepest, depth);
    std::size_t n = 1;
    for (const auto& v : value.items) {
        n += Count(v, depth + 1, deepest);
    }
    for (const auto& v : value.members) {
        n += Count(v, depth + 1, deepest);
    }
    return n;
}

void Check(std::string_view bytes) {
    const pellimor::SolContents sol = pellimor::ReadSol(bytes);
    int deepest = 0;
    std::size_t values = 0;
    for (const auto& v : sol.values) {
        values += Count(v, 0, deepest);
    }
    const bool fine = sol.stoppedAt <= bytes.size() &&
                      deepest <= pellimor::kDeepestAmfNesting + 1 &&
                      values <= pellimor::kMostAmfValues + 1 && (sol.isSol || sol.values.empty());
    if (!fine) {
        std::abort();
    }
    (void)pellimor::AmfValuesAsJson(sol.values);
}

std::string Header(char version) {
    return std::string("\x00\xBF\x00\x00\x00\x00TCSO\x00\x04\x00\x00\x00\x00\x00\x01s\x00\x00\x00",
                       22) +
           version;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    Check(bytes);
    Check(Header('\x00') + std::string(bytes));
    Check(Header('\x03') + std::string(bytes));
    if (const auto save = pellimor::SaveOfRuffleKey(bytes)) {
        for (const std::string& part : pellimor::SaveFileSegments(*save)) {
            if (part.empty() || part == "." || part == ".." ||
                part.find('/') != std::string::npos || part.find('\0') != std::string::npos) {
                std::abort();
            }
        }
    }
    return 0;
}
