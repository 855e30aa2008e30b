// What the players take from a page that embeds a movie, on any page at any address: the
// first line is the page's address, the rest its text. The values stay within their bounds
// and the tooltip's lines stay few and short; the files the parameters name are few and
// every one an address of the web.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "files/EmbeddingPage.h"
#include "files/FlashvarsAddresses.h"
#include "files/MoviePage.h"
#include "sites/Addresses.h"

namespace {

void Check(const pellimor::Embedding& e, const pellimor::MoviePage& page) {
    const std::string& vars = page.flashvars;
    // Whole parameters of the page's own, within the bound.
    if (vars.size() > pellimor::kLongestFlashvars ||
        e.flashvars.compare(0, vars.size(), vars) != 0 ||
        (vars.size() < e.flashvars.size() && e.flashvars[vars.size()] != '&')) {
        std::abort();
    }
    std::string scheme = page.base.substr(0, 8);
    std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    if (!scheme.starts_with("http://") && !scheme.starts_with("https://")) {
        std::abort();
    }
    if (page.width < 0 || page.height < 0 || page.width > pellimor::kLargestPageSize ||
        page.height > pellimor::kLargestPageSize || (page.width == 0) != (page.height == 0)) {
        std::abort();
    }
    const std::vector<std::string> named = pellimor::FlashvarsAddresses(page);
    if (named.size() > pellimor::kMostFlashvarsAddresses) {
        std::abort();
    }
    for (const std::string& address : named) {
        if (!pellimor::IsWebAddress(address)) {
            std::abort();
        }
    }
    const std::string text = pellimor::MoviePageText(page);
    if (std::count(text.begin(), text.end(), '\n') > 4 || text.size() > 4 * 340) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t line = input.find('\n');
    const std::string_view address = input.substr(0, line);
    const std::string_view html =
        line == std::string_view::npos ? std::string_view() : input.substr(line + 1);
    for (pellimor::Embedding& e : pellimor::FindEmbeddings(html)) {
        const pellimor::PageEmbedding embedded{std::string(address), "", e};
        if (const auto page = pellimor::PlayParameters(embedded)) {
            Check(e, *page);
        }
    }
    return 0;
}
