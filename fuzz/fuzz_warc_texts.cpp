// What a web archive takes from a cache on any bytes: the cached head kept has one blank
// line, at its end, and no control byte but line ends; an address stays on its line; the
// index key and the curation's languages and lang attribute never run past their input.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "files/Curation.h"
#include "files/warc/Cdxj.h"
#include "files/warc/WarcRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    char* text = static_cast<char*>(std::malloc(size == 0 ? 1 : size));
    std::copy(data, data + size, text);
    const std::string_view bytes(text, size);
    if (const auto head = pellimor::ArchivedResponseHead(bytes, size)) {
        if (head->text.find("\r\n\r\n") != head->text.size() - 4) {
            std::abort();
        }
        for (std::size_t i = 0; i < head->text.size(); ++i) {
            const auto c = static_cast<unsigned char>(head->text[i]);
            if ((c < 0x20 && c != '\r' && c != '\n' && c != '\t') || c == 0x7F ||
                (c == '\r' && head->text[i + 1] != '\n') ||
                (c == '\n' && head->text[i - 1] != '\r')) {
                std::abort();
            }
        }
    }
    const std::string uri = pellimor::WarcUri(bytes);
    for (const char c : uri) {
        if (static_cast<unsigned char>(c) <= 0x20 || static_cast<unsigned char>(c) >= 0x7F) {
            std::abort();
        }
    }
    const std::string key = pellimor::SurtKey(uri);
    if (key.find_first_of(" \r\n") != std::string::npos) {
        std::abort();
    }
    const std::string json = pellimor::JsonQuoted(bytes);
    if (json.find_first_of("\r\n") != std::string::npos) {
        std::abort();
    }
    if (const auto codes = pellimor::LanguageCodes(bytes)) {
        if (codes->size() % 4 != 2) {
            std::abort();  // "xx", "xx; yy", ...
        }
    }
    (void)pellimor::HtmlLang(bytes);
    std::free(text);
    return 0;
}
