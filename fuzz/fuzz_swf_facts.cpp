// The SWF reader on any bytes, as they are and, when they start as an uncompressed movie,
// compressed with zlib (CWS) and LZMA (ZWS): no crash, no read past the end, no more than
// the decode limit decoded, and facts that agree with each other.
#include <lzma.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "catalogue/SwfAddresses.h"
#include "catalogue/SwfFacts.h"
#include "platform/compression/SwfDecompressor.h"

namespace {

constexpr std::uint64_t kLimit = 1 << 20;

void Check(std::string_view bytes) {
    pellimor::SwfDecompressor decompressor;
    const pellimor::SwfFacts f = pellimor::ReadSwfFacts(bytes, decompressor, kLimit);
    const bool fine = f.presentLength <= 8 + kLimit && (f.reachedEnd || !f.stoppedAt.empty()) &&
                      (!f.reachedEnd || f.stoppedAt.empty()) &&
                      (!f.truncated || !f.declaredLength || f.presentLength < *f.declaredLength) &&
                      (f.declaredLength || !f.version) &&
                      (f.signature.empty() || f.signature == "FWS" || f.signature == "CWS" ||
                       f.signature == "ZWS") &&
                      (f.signature != "FWS" || f.presentLength <= bytes.size());
    if (!fine) {
        std::abort();
    }
    for (const std::string& a : f.addresses) {
        if (!pellimor::LooksLikeLoadAddress(a)) {
            std::abort();
        }
    }
    for (const std::string& h : f.hostNames) {
        if (h.empty() || h.front() == '.') {
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A copy of exactly size bytes, so that a read past the end is caught.
    char* copy = static_cast<char*>(std::malloc(size == 0 ? 1 : size));
    std::copy(data, data + size, copy);
    const std::string_view bytes(copy, size);
    Check(bytes);
    if (bytes.size() >= 8 && bytes.substr(0, 3) == "FWS") {
        const std::string_view body = bytes.substr(8);
        uLongf zipped = compressBound(body.size());
        std::string cws(8 + zipped, '\0');
        if (compress2(reinterpret_cast<Bytef*>(cws.data() + 8), &zipped,
                      reinterpret_cast<const Bytef*>(body.data()), body.size(), 1) == Z_OK) {
            cws.resize(8 + zipped);
            cws.replace(0, 8, bytes.substr(0, 8));
            cws[0] = 'C';
            Check(cws);
        }
        lzma_options_lzma options;
        lzma_lzma_preset(&options, 0);
        lzma_filter filters[] = {{LZMA_FILTER_LZMA1, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
        std::string zws(17 + body.size() + body.size() / 2 + 1024, '\0');
        std::size_t written = 0;
        if (lzma_raw_buffer_encode(filters, nullptr,
                                   reinterpret_cast<const std::uint8_t*>(body.data()), body.size(),
                                   reinterpret_cast<std::uint8_t*>(zws.data() + 17), &written,
                                   zws.size() - 17) == LZMA_OK) {
            std::uint32_t props = 0;
            std::uint8_t* propsAt = reinterpret_cast<std::uint8_t*>(zws.data() + 12);
            if (lzma_properties_encode(&filters[0], propsAt) == LZMA_OK) {
                zws.resize(17 + written);
                zws.replace(0, 8, bytes.substr(0, 8));
                zws[0] = 'Z';
                props = static_cast<std::uint32_t>(written);
                for (int i = 0; i < 4; ++i) {
                    zws[8 + i] = static_cast<char>(props >> (8 * i));
                }
                Check(zws);
            }
        }
    }
    std::free(copy);
    return 0;
}
