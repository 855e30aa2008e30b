// Stored bodies in every content encoding: decoded within the limit or refused, never more;
// read from a reader that gives a few bytes at a time and handed to a receiver that may stop
// early, the stream gives exactly what decoding from memory gives.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/body/ContentDecoding.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) {
        return 0;
    }
    static constexpr std::string_view kEncodings[] = {
        "",
        "gzip",
        "deflate",
        "br",
        "gzip, br",
        "br, deflate",
        "x-gzip",
        "zstd",
        "identity,gzip, identity",
        "gzip,gzip,gzip,gzip,gzip,gzip,gzip,gzip,gzip"};
    const std::string_view encoding = kEncodings[data[0] % std::size(kEncodings)];
    const std::size_t piece = 1 + data[1] % 7;                 // bytes the reader gives at a time
    const std::size_t stopAfter = data[2] * std::size_t{257};  // 0: never stops
    const std::string_view stored(reinterpret_cast<const char*>(data + 3), size - 3);
    constexpr std::uint64_t kLimit = 256 * 1024;
    const auto body = pellimor::DecodeContent(encoding, stored, kLimit);
    if (body.ok() && body->bytes.size() > kLimit) {
        std::abort();
    }
    std::size_t at = 0;
    const pellimor::StoredReader read = [&](char* buffer, std::size_t capacity) {
        const std::size_t n = std::min({capacity, piece, stored.size() - at});
        std::copy_n(stored.data() + at, n, buffer);
        at += n;
        return pellimor::Result<std::size_t>(n);
    };
    std::string streamed;
    const auto outcome =
        pellimor::DecodeContentStream(encoding, read, kLimit, [&](std::string_view bytes) {
            if (bytes.empty() || bytes.size() > pellimor::kBodyPiece) {
                std::abort();  // pieces are never empty nor larger than promised
            }
            streamed.append(bytes);
            return stopAfter == 0 || streamed.size() < stopAfter;
        });
    if (outcome.ok() != body.ok()) {
        // Only a stop before the failing part may turn a failure into success.
        if (!(outcome.ok() && outcome->stopped)) {
            std::abort();
        }
        return 0;
    }
    if (body.ok() && (outcome->stopped ? body->bytes.compare(0, streamed.size(), streamed) != 0
                                       : body->bytes != streamed)) {
        std::abort();
    }
    return 0;
}
