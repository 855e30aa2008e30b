// The embedding scanner on any page: no crash, no read past the text, never more findings
// than allowed, and each movie found turned into a path that stays below the export folder.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "files/AddressPaths.h"
#include "files/EmbeddingPage.h"
#include "sites/ResolveAddress.h"

namespace {

void CheckPath(std::string_view address) {
    const auto path = pellimor::AddressPath(address, true);
    if (!path) {
        return;
    }
    if (path->size() < 2) {
        std::abort();
    }
    for (const std::string& segment : *path) {
        if (segment.empty() || segment == "." || segment == ".." ||
            segment.size() > pellimor::kLongestPathSegment ||
            segment.find_first_of(std::string_view("/\\\0", 3)) != std::string::npos) {
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A copy of exactly size bytes, so that a read past the end is caught.
    char* text = static_cast<char*>(std::malloc(size == 0 ? 1 : size));
    std::copy(data, data + size, text);
    const std::string_view html(text, size);
    const auto found = pellimor::FindEmbeddings(html);
    if (found.size() > pellimor::kMostEmbeddings) {
        std::abort();
    }
    for (const pellimor::Embedding& e : found) {
        if (e.movie.empty() || e.movie.size() > size * 4 + 4) {
            std::abort();
        }
        CheckPath(pellimor::ResolveAddress("http://page.example/dir/index.html", e.movie));
    }
    CheckPath(html);
    std::free(text);
    return 0;
}
