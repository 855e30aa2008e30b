#include "platform/body/ContentDecoding.h"

#include <brotli/decode.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <vector>

namespace pellimor {

namespace {

constexpr std::size_t kChunk = 64 * 1024;
// zlib's window bits: 15 with 32 added reads a gzip or a zlib header, whichever is there;
// negative reads a raw deflate stream (what some servers send as "deflate").
constexpr int kGzipOrZlibWindow = 15 + 32;
constexpr int kRawDeflateWindow = -15;

std::string LowerTrimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    std::string lowered(text);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                   [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; });
    return lowered;
}

Result<DecodedBody> Inflate(std::string_view stored, std::uint64_t limit, int windowBits) {
    z_stream stream{};
    if (inflateInit2(&stream, windowBits) != Z_OK) {
        return Fail("the inflater could not start");
    }
    DecodedBody body;
    std::array<unsigned char, kChunk> out{};
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stored.data()));
    int code = Z_OK;
    std::size_t consumed = 0;
    for (;;) {
        // avail_in is 32 bits: feed large bodies in pieces.
        if (stream.avail_in == 0 && consumed < stored.size()) {
            const std::size_t piece = std::min<std::size_t>(stored.size() - consumed, 1u << 30);
            stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stored.data() + consumed));
            stream.avail_in = static_cast<uInt>(piece);
            consumed += piece;
        }
        stream.next_out = out.data();
        stream.avail_out = out.size();
        code = inflate(&stream, Z_NO_FLUSH);
        const std::size_t produced = out.size() - stream.avail_out;
        if (body.bytes.size() + produced > limit) {
            inflateEnd(&stream);
            return Fail("the body grows beyond " + std::to_string(limit) + " bytes when decoded");
        }
        body.bytes.append(reinterpret_cast<const char*>(out.data()), produced);
        if (code == Z_STREAM_END) {
            break;
        }
        if (code == Z_BUF_ERROR && stream.avail_in == 0 && consumed == stored.size()) {
            body.truncated = true;  // the stream ends before its end mark
            break;
        }
        if (code != Z_OK && code != Z_BUF_ERROR) {
            inflateEnd(&stream);
            return Fail(std::string("the compressed body is damaged (") +
                        (stream.msg != nullptr ? stream.msg : "zlib error") + ")");
        }
    }
    inflateEnd(&stream);
    return body;
}

Result<DecodedBody> Unbrotli(std::string_view stored, std::uint64_t limit) {
    BrotliDecoderState* state = BrotliDecoderCreateInstance(nullptr, nullptr, nullptr);
    if (state == nullptr) {
        return Fail("the brotli decoder could not start");
    }
    DecodedBody body;
    std::array<std::uint8_t, kChunk> out{};
    const auto* next = reinterpret_cast<const std::uint8_t*>(stored.data());
    std::size_t available = stored.size();
    for (;;) {
        std::uint8_t* outNext = out.data();
        std::size_t outAvailable = out.size();
        const BrotliDecoderResult result = BrotliDecoderDecompressStream(
            state, &available, &next, &outAvailable, &outNext, nullptr);
        const std::size_t produced = out.size() - outAvailable;
        if (body.bytes.size() + produced > limit) {
            BrotliDecoderDestroyInstance(state);
            return Fail("the body grows beyond " + std::to_string(limit) + " bytes when decoded");
        }
        body.bytes.append(reinterpret_cast<const char*>(out.data()), produced);
        if (result == BROTLI_DECODER_RESULT_SUCCESS) {
            break;
        }
        if (result == BROTLI_DECODER_RESULT_NEEDS_MORE_INPUT) {
            body.truncated = true;
            break;
        }
        if (result == BROTLI_DECODER_RESULT_ERROR) {
            const char* why = BrotliDecoderErrorString(BrotliDecoderGetErrorCode(state));
            BrotliDecoderDestroyInstance(state);
            return Fail(std::string("the compressed body is damaged (") + why + ")");
        }
    }
    BrotliDecoderDestroyInstance(state);
    return body;
}

Result<DecodedBody> DecodeOne(const std::string& coding, std::string_view stored,
                              std::uint64_t limit) {
    if (coding.empty() || coding == "identity") {
        if (stored.size() > limit) {
            return Fail("the body is larger than " + std::to_string(limit) + " bytes");
        }
        return DecodedBody{std::string(stored), false};
    }
    if (coding == "gzip" || coding == "x-gzip") {
        return Inflate(stored, limit, kGzipOrZlibWindow);
    }
    if (coding == "deflate") {
        Result<DecodedBody> wrapped = Inflate(stored, limit, kGzipOrZlibWindow);
        return wrapped.ok() ? std::move(wrapped) : Inflate(stored, limit, kRawDeflateWindow);
    }
    if (coding == "br") {
        return Unbrotli(stored, limit);
    }
    return Fail("the body is stored with the content encoding \"" + coding +
                "\", which Pellimor cannot decode");
}

}  // namespace

Result<DecodedBody> DecodeContent(std::string_view encoding, std::string_view stored,
                                  std::uint64_t limit) {
    // "gzip, br" was applied gzip first: decode from the last.
    std::vector<std::string> codings;
    for (std::size_t start = 0; start <= encoding.size();) {
        const std::size_t comma = std::min(encoding.find(',', start), encoding.size());
        std::string coding = LowerTrimmed(encoding.substr(start, comma - start));
        if (!coding.empty()) {
            codings.push_back(std::move(coding));
        }
        start = comma + 1;
    }
    if (codings.empty()) {
        return DecodeOne("", stored, limit);
    }
    DecodedBody body{std::string(stored), false};
    for (auto coding = codings.rbegin(); coding != codings.rend(); ++coding) {
        Result<DecodedBody> step = DecodeOne(*coding, body.bytes, limit);
        if (!step.ok()) {
            return step;
        }
        step->truncated = step->truncated || body.truncated;
        body = std::move(step).value();
    }
    return body;
}

}  // namespace pellimor
