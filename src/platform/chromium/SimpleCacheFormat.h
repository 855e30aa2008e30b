// Chromium's "simple" disk cache, as Chrome, Chromium, Edge and Opera write it on Linux and
// Android (and the default everywhere for the code cache). One folder; every entry has files
// of its own, named after the first 8 bytes of the SHA-1 of its key as 16 lower-case hex
// digits:
//
//   <hash>_0  streams 0 and 1:
//       SimpleFileHeader   magic, version, key length, key hash           (24 bytes)
//       the key            key length bytes ("1/0/_dk_<site> <site> <url>" or the url)
//       stream 1           the body, as the server sent it (content encoding kept)
//       SimpleFileEOF      for stream 1: magic, flags, crc                 (24 bytes)
//       stream 0           the response: a pickled HttpResponseInfo
//       [SHA-256 of key]   32 bytes, present when the last EOF's flags say so
//       SimpleFileEOF      for stream 0: magic, flags, crc, stream 0's size (24 bytes)
//   <hash>_1  stream 2 (script metadata): header, key, data, EOF
//   <hash>_s  sparse ranges (media)
//   index, index-dir/the-real-index: Chromium's own summary, rebuilt from the entry files
//       when it disagrees with them, so it is neither needed nor changed here.
//
// Stream 1's size is not written anywhere: it is what the file leaves between the key and
// the stream-1 EOF, once stream 0's size is known from the last EOF.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pellimor::chromium_simple {

inline constexpr std::uint64_t kInitialMagic = 0xfcfb6d1ba7725c30ULL;
inline constexpr std::uint64_t kFinalMagic = 0xf4fa6f45970d41d8ULL;
// The fake `index` file's first 8 bytes.
inline constexpr std::uint64_t kIndexMagic = 0x656e74657220796fULL;

// SimpleFileHeader (8-byte aligned: 20 bytes of fields, 24 on disk).
inline constexpr std::size_t kHeaderMagicOffset = 0;
inline constexpr std::size_t kHeaderVersionOffset = 8;
inline constexpr std::size_t kHeaderKeyLengthOffset = 12;
inline constexpr std::size_t kHeaderKeyHashOffset = 16;
inline constexpr std::size_t kHeaderSize = 24;

// SimpleFileEOF (20 bytes of fields, 24 on disk).
inline constexpr std::size_t kEofMagicOffset = 0;
inline constexpr std::size_t kEofFlagsOffset = 8;
inline constexpr std::size_t kEofCrcOffset = 12;
inline constexpr std::size_t kEofStreamSizeOffset = 16;
inline constexpr std::size_t kEofSize = 24;
inline constexpr std::uint32_t kEofHasCrc32 = 1u << 0;
inline constexpr std::uint32_t kEofHasKeySha256 = 1u << 1;
inline constexpr std::size_t kKeySha256Size = 32;

// The entry hash as a file name: 16 hex digits, then the file's suffix.
inline constexpr std::size_t kHashDigits = 16;
inline constexpr char kStreams01Suffix[] = "_0";
inline constexpr char kStream2Suffix[] = "_1";
inline constexpr char kSparseSuffix[] = "_s";

}  // namespace pellimor::chromium_simple
