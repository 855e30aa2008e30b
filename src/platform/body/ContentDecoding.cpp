#include "platform/body/ContentDecoding.h"

#include <brotli/decode.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "ground/AsciiText.h"

namespace pellimor {

namespace {

// zlib's window bits: 15 with 32 added reads a gzip or a zlib header, whichever is there;
// negative reads a raw deflate stream (what some servers send as "deflate").
constexpr int kGzipOrZlibWindow = 15 + 32;
constexpr int kRawDeflateWindow = -15;

bool IsIdentity(const std::string& coding) {
    return coding.empty() || coding == "identity";
}

// The codings to undo, last applied first, identities left out; a list longer than the
// limit or naming a coding we cannot decode is refused before anything is read.
Result<std::vector<std::string>> CodingsToUndo(std::string_view encoding) {
    std::size_t listed = 0;
    for (std::size_t start = 0; start <= encoding.size();) {
        const std::size_t comma = std::min(encoding.find(',', start), encoding.size());
        listed +=
            encoding.substr(start, comma - start).find_first_not_of(" \t") != std::string_view::npos
                ? 1
                : 0;
        start = comma + 1;
    }
    if (listed > kMostContentCodings) {
        return Fail("the body lists " + std::to_string(listed) +
                    " content encodings, more than the " + std::to_string(kMostContentCodings) +
                    " Pellimor decodes one after another");
    }
    std::vector<std::string> codings;
    for (std::size_t start = 0; start <= encoding.size();) {
        const std::size_t comma = std::min(encoding.find(',', start), encoding.size());
        std::string coding = LoweredAscii(TrimmedBlanks(encoding.substr(start, comma - start)));
        start = comma + 1;
        if (IsIdentity(coding)) {
            continue;
        }
        if (coding != "gzip" && coding != "x-gzip" && coding != "deflate" && coding != "br") {
            return Fail("the body is stored with the content encoding \"" + coding +
                        "\", which Pellimor cannot decode");
        }
        codings.push_back(std::move(coding));
    }
    std::reverse(codings.begin(), codings.end());
    return codings;
}

// One step of the chain: pulls bytes from the step before it and gives them decoded.
class Stage {
  public:
    virtual ~Stage() = default;
    // Up to capacity bytes into buffer; 0 at the end.
    virtual Result<std::size_t> Pull(char* buffer, std::size_t capacity) = 0;
    bool truncated = false;  // the encoded stream ended before its end mark

  protected:
    // The bytes decoded before damage go on first; the damage is told on the next pull, so
    // that what comes out does not depend on how the stored bytes were cut into pieces.
    Result<std::size_t> Damaged(std::size_t produced, std::string why) {
        if (produced == 0) {
            return Fail(std::move(why));
        }
        damage_ = std::move(why);
        return produced;
    }
    std::string damage_;
};

class StoredStage : public Stage {
  public:
    explicit StoredStage(const StoredReader& read) : read_(read) {}
    Result<std::size_t> Pull(char* buffer, std::size_t capacity) override {
        return read_(buffer, capacity);
    }

  private:
    const StoredReader& read_;
};

// Input of a decoding step: a buffer refilled from the step before.
class Input {
  public:
    explicit Input(Stage& from) : from_(from) {}
    // Refills when empty; false after a failure, with error set.
    bool Refill(std::string& error) {
        if (available > 0 || ended) {
            return true;
        }
        Result<std::size_t> got = from_.Pull(buffer_.data(), buffer_.size());
        if (!got) {
            error = got.error();
            return false;
        }
        next = reinterpret_cast<const std::uint8_t*>(buffer_.data());
        available = *got;
        ended = *got == 0;
        return true;
    }
    // Adds more input behind what is there, for a decision that needs a few first bytes.
    bool Gather(std::size_t wanted, std::string& error) {
        while (available < wanted && !ended) {
            const std::size_t at = available;
            Result<std::size_t> got = from_.Pull(buffer_.data() + at, buffer_.size() - at);
            if (!got) {
                error = got.error();
                return false;
            }
            available += *got;
            ended = *got == 0;
        }
        next = reinterpret_cast<const std::uint8_t*>(buffer_.data());
        return true;
    }

    const std::uint8_t* next = nullptr;
    std::size_t available = 0;
    bool ended = false;

  private:
    Stage& from_;
    std::array<char, kBodyPiece> buffer_{};
};

class InflateStage : public Stage {
  public:
    InflateStage(Stage& from, bool deflate) : in_(from), deflate_(deflate) {}
    ~InflateStage() override {
        if (started_) {
            inflateEnd(&z_);
        }
    }
    InflateStage(const InflateStage&) = delete;
    InflateStage& operator=(const InflateStage&) = delete;

    Result<std::size_t> Pull(char* buffer, std::size_t capacity) override {
        if (!damage_.empty()) {
            return Fail(damage_);
        }
        std::string error;
        if (!started_) {
            // "deflate" is a zlib stream by the standard, raw deflate from some servers:
            // the first two bytes tell which.
            if (!in_.Gather(2, error)) {
                return Fail(error);
            }
            int window = kGzipOrZlibWindow;
            if (deflate_ && in_.available >= 2) {
                const unsigned first = in_.next[0], second = in_.next[1];
                const bool zlib = (first & 0x0f) == 8 && ((first << 8) | second) % 31 == 0;
                const bool gzip = first == 0x1f && second == 0x8b;
                window = zlib || gzip ? kGzipOrZlibWindow : kRawDeflateWindow;
            }
            if (inflateInit2(&z_, window) != Z_OK) {
                return Fail("the inflater could not start");
            }
            started_ = true;
        }
        std::size_t produced = 0;
        while (!ended_ && produced == 0) {
            if (!in_.Refill(error)) {
                return Fail(error);
            }
            z_.next_in = const_cast<Bytef*>(in_.next);
            z_.avail_in = static_cast<uInt>(in_.available);
            z_.next_out = reinterpret_cast<Bytef*>(buffer);
            z_.avail_out = static_cast<uInt>(capacity);
            const int code = inflate(&z_, Z_NO_FLUSH);
            in_.next = z_.next_in;
            in_.available = z_.avail_in;
            produced = capacity - z_.avail_out;
            if (code == Z_STREAM_END) {
                ended_ = true;
            } else if (code == Z_BUF_ERROR && in_.available == 0) {
                if (in_.ended) {
                    truncated = true;  // the stream ends before its end mark
                    ended_ = true;
                }
            } else if (code != Z_OK) {
                return Damaged(produced, std::string("the compressed body is damaged (") +
                                             (z_.msg != nullptr ? z_.msg : "zlib error") + ")");
            }
        }
        return produced;
    }

  private:
    Input in_;
    bool deflate_;
    z_stream z_{};
    bool started_ = false;
    bool ended_ = false;
};

class BrotliStage : public Stage {
  public:
    explicit BrotliStage(Stage& from)
        : in_(from), state_(BrotliDecoderCreateInstance(nullptr, nullptr, nullptr)) {}
    ~BrotliStage() override {
        if (state_ != nullptr) {
            BrotliDecoderDestroyInstance(state_);
        }
    }
    BrotliStage(const BrotliStage&) = delete;
    BrotliStage& operator=(const BrotliStage&) = delete;

    Result<std::size_t> Pull(char* buffer, std::size_t capacity) override {
        if (state_ == nullptr) {
            return Fail("the brotli decoder could not start");
        }
        if (!damage_.empty()) {
            return Fail(damage_);
        }
        std::string error;
        auto* out = reinterpret_cast<std::uint8_t*>(buffer);
        std::size_t outAvailable = capacity;
        while (!ended_ && outAvailable == capacity) {
            if (!in_.Refill(error)) {
                return Fail(error);
            }
            const BrotliDecoderResult result = BrotliDecoderDecompressStream(
                state_, &in_.available, &in_.next, &outAvailable, &out, nullptr);
            if (result == BROTLI_DECODER_RESULT_SUCCESS) {
                ended_ = true;
            } else if (result == BROTLI_DECODER_RESULT_NEEDS_MORE_INPUT && in_.ended) {
                truncated = true;
                ended_ = true;
            } else if (result == BROTLI_DECODER_RESULT_ERROR) {
                return Damaged(capacity - outAvailable,
                               std::string("the compressed body is damaged (") +
                                   BrotliDecoderErrorString(BrotliDecoderGetErrorCode(state_)) +
                                   ")");
            }
        }
        return capacity - outAvailable;
    }

  private:
    Input in_;
    BrotliDecoderState* state_;
    bool ended_ = false;
};

Result<DecodedStream> Decode(const std::vector<std::string>& codings, const StoredReader& read,
                             std::uint64_t limit, const ByteSink& sink) {
    std::vector<std::unique_ptr<Stage>> stages;
    stages.push_back(std::make_unique<StoredStage>(read));
    for (const std::string& coding : codings) {
        Stage& from = *stages.back();
        if (coding == "br") {
            stages.push_back(std::make_unique<BrotliStage>(from));
        } else {
            stages.push_back(std::make_unique<InflateStage>(from, coding == "deflate"));
        }
    }
    std::vector<char> piece(kBodyPiece);
    DecodedStream out;
    for (;;) {
        Result<std::size_t> got = stages.back()->Pull(piece.data(), piece.size());
        if (!got) {
            return Failure{got.error()};
        }
        if (*got == 0) {
            break;
        }
        if (out.bytes + *got > limit) {
            return Fail(codings.empty()
                            ? "the body is larger than " + std::to_string(limit) + " bytes"
                            : "the body grows beyond " + std::to_string(limit) +
                                  " bytes when decoded");
        }
        out.bytes += *got;
        if (!sink(std::string_view(piece.data(), *got))) {
            out.stopped = true;
            break;
        }
    }
    for (const auto& stage : stages) {
        out.truncated = out.truncated || stage->truncated;
    }
    return out;
}

}  // namespace

Result<DecodedStream> DecodeContentStream(std::string_view encoding, const StoredReader& read,
                                          std::uint64_t limit, const ByteSink& sink) {
    Result<std::vector<std::string>> codings = CodingsToUndo(encoding);
    if (!codings) {
        return Failure{codings.error()};
    }
    return Decode(*codings, read, limit, sink);
}

Result<DecodedStream> DecodeContentStream(std::string_view encoding, std::string_view stored,
                                          std::uint64_t limit, const ByteSink& sink) {
    Result<std::vector<std::string>> codings = CodingsToUndo(encoding);
    if (!codings) {
        return Failure{codings.error()};
    }
    if (codings->empty()) {
        if (stored.size() > limit) {
            return Fail("the body is larger than " + std::to_string(limit) + " bytes");
        }
        DecodedStream out;
        for (std::size_t at = 0; at < stored.size() && !out.stopped; at += kBodyPiece) {
            const std::string_view piece = stored.substr(at, kBodyPiece);
            out.bytes += piece.size();
            out.stopped = !sink(piece);
        }
        return out;
    }
    std::size_t at = 0;
    const StoredReader read = [stored, &at](char* buffer, std::size_t capacity) {
        const std::size_t n = std::min(capacity, stored.size() - at);
        std::copy_n(stored.data() + at, n, buffer);
        at += n;
        return Result<std::size_t>(n);
    };
    return Decode(*codings, read, limit, sink);
}

Result<DecodedBody> DecodeContent(std::string_view encoding, std::string_view stored,
                                  std::uint64_t limit) {
    DecodedBody body;
    Result<DecodedStream> decoded =
        DecodeContentStream(encoding, stored, limit, [&body](std::string_view piece) {
            body.bytes.append(piece);
            return true;
        });
    if (!decoded) {
        return Failure{decoded.error()};
    }
    body.truncated = decoded->truncated;
    return body;
}

StoredReader ReadFromDescriptor(int fd, std::uint64_t offset, std::uint64_t length,
                                std::string path, bool& cut) {
    return [fd, offset, left = length, path = std::move(path), &cut](
               char* buffer, std::size_t capacity) mutable -> Result<std::size_t> {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left, capacity));
        while (want > 0) {
            const ssize_t n = ::pread(fd, buffer, want, static_cast<off_t>(offset));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                return Fail(path + ": " + std::strerror(errno));
            }
            if (n == 0) {
                cut = true;  // the file is shorter than its records say
                left = 0;
                return std::size_t{0};
            }
            offset += static_cast<std::uint64_t>(n);
            left -= static_cast<std::uint64_t>(n);
            return static_cast<std::size_t>(n);
        }
        return std::size_t{0};
    };
}

}  // namespace pellimor
