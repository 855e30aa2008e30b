// Stored bodies in every content encoding: decoded within the limit or refused, never more.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/body/ContentDecoding.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    static constexpr std::string_view kEncodings[] = {"",         "gzip",        "deflate", "br",
                                                      "gzip, br", "br, deflate", "x-gzip",  "zstd"};
    const std::string_view encoding = kEncodings[data[0] % std::size(kEncodings)];
    const std::string_view stored(reinterpret_cast<const char*>(data + 1), size - 1);
    constexpr std::uint64_t kLimit = 256 * 1024;
    const auto body = pellimor::DecodeContent(encoding, stored, kLimit);
    if (body.ok() && body->bytes.size() > kLimit) {
        std::abort();
    }
    return 0;
}
