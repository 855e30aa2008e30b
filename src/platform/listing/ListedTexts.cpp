#include "platform/listing/ListedTexts.h"

namespace pellimor {

std::string OverlongAddressReason(std::size_t length) {
    return "its address is " + std::to_string(length) + " bytes long, more than the " +
           std::to_string(kMaxListedAddress) + " bytes an address is read to";
}

void CutUtf8(std::string& text, std::size_t limit) {
    if (text.size() <= limit) {
        return;
    }
    std::size_t end = limit;
    // Back to the start of the sequence the cut falls in (continuation bytes are 10xxxxxx).
    for (int back = 0;
         back < 3 && end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80; ++back) {
        --end;
    }
    text.resize(end);
}

void CapListedTexts(CacheEntry& entry) {
    if (entry.url && entry.url->size() > kMaxListedAddress) {
        const std::size_t length = entry.url->size();
        CutUtf8(*entry.url, kMaxListedAddress);
        entry.url->shrink_to_fit();
        entry.unreadable = OverlongAddressReason(length);
    }
    if (entry.headers.size() > kMaxListedHeaders) {
        CutUtf8(entry.headers, kMaxListedHeaders);
        entry.headers.shrink_to_fit();
    }
}

}  // namespace pellimor
