#include "platform/chromium/SimpleEntryFile.h"

#include <algorithm>

#include "ground/ByteReader.h"
#include "platform/chromium/ReadAt.h"
#include "platform/chromium/SimpleCacheFormat.h"

namespace pellimor::chromium {

namespace {

namespace fmt = chromium_simple;

// Keys are URLs with a prefix; Chromium refuses far shorter ones than this.
constexpr std::uint32_t kMaxKeyLength = 1u << 20;
// The stored response: headers, certificates ... never near this.
constexpr std::uint32_t kMaxResponseSize = 4u << 20;
// A file whose last record is missing was cut short. Its body's end record, if it was
// written, is followed only by stream 0 (the response: headers, which Chromium refuses over
// 256 KiB, and certificates of a few KiB), the key's SHA-256 and the last record: so it lies
// in the file's last 256 KiB, and only that much is searched, from the end backwards.
constexpr std::uint64_t kMaxSearch = (256u << 10) + fmt::kKeySha256Size + 2 * fmt::kEofSize;

// The first and last few KiB of the file, read once each: header, key, the body's first
// bytes and, at the end, the response with its records all lie there in nearly every entry.
constexpr std::size_t kWindow = 4096;

class EntryReader {
  public:
    EntryReader(int fd, std::uint64_t size, const std::string& path)
        : fd_(fd), size_(size), path_(path) {}

    // length bytes at offset (fewer where the file ends).
    Result<std::string> At(std::uint64_t offset, std::size_t length) {
        if (offset >= size_) {
            return std::string();
        }
        length = static_cast<std::size_t>(std::min<std::uint64_t>(length, size_ - offset));
        for (Window* window : {&head_, &tail_}) {
            if (!window->loaded) {
                // A small file is read whole at once.
                // Never past the end: a read that comes up short costs a second call.
                const std::size_t headLength = static_cast<std::size_t>(
                    std::min<std::uint64_t>(size_, size_ <= 2 * kWindow ? 2 * kWindow : kWindow));
                const std::uint64_t start =
                    window == &head_ ? 0 : size_ - std::min<std::uint64_t>(size_, kWindow);
                Result<std::string> bytes =
                    ReadAt(fd_, start, window == &head_ ? headLength : kWindow, path_);
                if (!bytes) {
                    return bytes;
                }
                *window = Window{start, std::move(*bytes), true};
            }
            if (offset >= window->start &&
                offset + length <= window->start + window->bytes.size()) {
                return window->bytes.substr(static_cast<std::size_t>(offset - window->start),
                                            length);
            }
        }
        return ReadAt(fd_, offset, length, path_);
    }

  private:
    struct Window {
        std::uint64_t start = 0;
        std::string bytes;
        bool loaded = false;
    };
    int fd_;
    std::uint64_t size_;
    const std::string& path_;
    Window head_;
    Window tail_;
};

bool IsEof(const std::string& bytes) {
    return ByteReader(AsBytes(bytes)).U64(fmt::kEofMagicOffset) == fmt::kFinalMagic;
}

// The offset of the body's end record (its magic number at least) after from and within the
// last kMaxSearch bytes of the file, or nothing: the last record there, or the one before it
// when the last is the file's own last record, cut short.
Result<std::optional<std::uint64_t>> FindBodyEnd(int fd, std::uint64_t from, std::uint64_t size,
                                                 const std::string& path) {
    const std::uint64_t start = size - std::min(size - from, kMaxSearch);
    Result<std::string> bytes = ReadAt(fd, start, static_cast<std::size_t>(size - start), path);
    if (!bytes) {
        return Failure{bytes.error()};
    }
    std::string magic(8, '\0');
    PutU64(reinterpret_cast<std::uint8_t*>(magic.data()), fmt::kFinalMagic);
    std::size_t at = bytes->rfind(magic);
    if (at == std::string::npos) {
        return std::optional<std::uint64_t>();
    }
    // A record cut short at the end is the last one, when a whole record stands before it.
    if (at + fmt::kEofSize > bytes->size() && at > 0) {
        if (const std::size_t before = bytes->rfind(magic, at - 1); before != std::string::npos) {
            at = before;
        }
    }
    return std::optional<std::uint64_t>(start + at);
}

// The last record gives stream 0's size; the body is what lies before it. The body's end,
// with the response stream 0 holds read into entry; nothing when there is no last record.
Result<std::optional<std::uint64_t>> BodyEndFromLast(EntryReader& file, std::uint64_t size,
                                                     const std::string& path,
                                                     SimpleEntryFile& entry) {
    const std::uint64_t afterKey = size - entry.bodyOffset;
    if (afterKey < 2 * fmt::kEofSize) {
        return std::optional<std::uint64_t>();
    }
    Result<std::string> last = file.At(size - fmt::kEofSize, fmt::kEofSize);
    if (!last) {
        return Failure{last.error()};
    }
    const ByteReader eof(AsBytes(*last));
    if (!IsEof(*last)) {
        return std::optional<std::uint64_t>();
    }
    const std::uint32_t flags = *eof.U32(fmt::kEofFlagsOffset);
    const std::uint32_t streamSize = *eof.U32(fmt::kEofStreamSizeOffset);
    const std::uint64_t sha = (flags & fmt::kEofHasKeySha256) ? fmt::kKeySha256Size : 0;
    const std::uint64_t trailer = std::uint64_t{streamSize} + sha + 2 * fmt::kEofSize;
    if (trailer > afterKey) {
        return Fail(path + ": its response size (" + std::to_string(streamSize) +
                    ") runs past the start of the file");
    }
    const std::uint64_t end = size - trailer;
    Result<std::string> bodyEof = file.At(end, fmt::kEofSize);
    if (!bodyEof) {
        return Failure{bodyEof.error()};
    }
    if (!IsEof(*bodyEof)) {
        return Fail(path + ": the body's end record is not where the sizes put it");
    }
    if (streamSize > kMaxResponseSize) {
        return Fail(path + ": its stored response is too large (" + std::to_string(streamSize) +
                    " bytes)");
    }
    Result<std::string> stream0 = file.At(end + fmt::kEofSize, streamSize);
    if (!stream0) {
        return Failure{stream0.error()};
    }
    Result<ResponseInfo> response = ParseResponseInfo(AsBytes(*stream0));
    if (response) {
        entry.truncated = response->truncated;
        entry.response = std::move(*response);
    }
    return std::optional<std::uint64_t>(end);
}

}  // namespace

Result<SimpleEntryFile> ReadSimpleEntryFile(int fd, std::uint64_t size, const std::string& path) {
    EntryReader file(fd, size, path);
    Result<std::string> head = file.At(0, fmt::kHeaderSize);
    if (!head) {
        return Failure{head.error()};
    }
    const ByteReader header(AsBytes(*head));
    const auto magic = header.U64(fmt::kHeaderMagicOffset);
    const auto keyLength = header.U32(fmt::kHeaderKeyLengthOffset);
    if (!magic || !keyLength) {
        return Fail(path + " is too short for an entry of Chrome's cache");
    }
    if (*magic != fmt::kInitialMagic) {
        return Fail(path + " is no entry of Chrome's cache (its magic number is wrong)");
    }
    if (*keyLength > kMaxKeyLength || *keyLength > size - fmt::kHeaderSize) {
        return Fail(path + ": its key length (" + std::to_string(*keyLength) +
                    ") runs past the end of the file");
    }
    SimpleEntryFile entry;
    Result<std::string> key = file.At(fmt::kHeaderSize, *keyLength);
    if (!key) {
        return Failure{key.error()};
    }
    if (key->size() != *keyLength) {
        return Fail(path + " ends inside its key");
    }
    entry.key = std::move(*key);
    entry.bodyOffset = fmt::kHeaderSize + *keyLength;

    Result<std::optional<std::uint64_t>> fromLast = BodyEndFromLast(file, size, path, entry);
    if (!fromLast) {
        return Failure{fromLast.error()};
    }
    std::optional<std::uint64_t> bodyEnd = *fromLast;
    if (!bodyEnd) {
        // Cut short: the body runs to its end record, or, without one, to the end of the file.
        Result<std::optional<std::uint64_t>> found = FindBodyEnd(fd, entry.bodyOffset, size, path);
        if (!found) {
            return Failure{found.error()};
        }
        bodyEnd = found->value_or(size);
        entry.truncated = !found->has_value();
    }
    entry.bodySize = *bodyEnd - entry.bodyOffset;
    Result<std::string> start =
        file.At(entry.bodyOffset, static_cast<std::size_t>(std::min<std::uint64_t>(
                                      entry.bodySize, SimpleEntryFile::kStartLength)));
    if (!start) {
        return Failure{start.error()};
    }
    entry.bodyStart = std::move(*start);
    return entry;
}

}  // namespace pellimor::chromium
