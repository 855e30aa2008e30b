// What a SWF movie says about itself, read from its bytes: its header, stage, timing,
// colour, attributes, which kinds of script and data it holds, and the addresses and host
// names found in its scripts. A movie cut short or damaged gives its facts as far as they
// go, and stoppedAt says where reading ended and why.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ports/Decompressor.h"

namespace pellimor {

struct SwfFileAttributes {
    std::uint32_t flags = 0;
    bool actionScript3 = false;
    bool useNetwork = false;
    bool hasMetadata = false;
};

struct SwfProductInfo {
    std::uint32_t product = 0;
    std::uint32_t edition = 0;
    std::uint8_t major = 0;
    std::uint8_t minor = 0;
    std::uint64_t build = 0;
    std::uint64_t compiledAtMs = 0;  // milliseconds since 1970-01-01 UTC
};

// How many tags of each kind, in the movie and in its sprites.
struct SwfTagCensus {
    std::uint32_t tags = 0;  // of the movie's own timeline, without its End tag
    std::uint32_t doAction = 0;
    std::uint32_t doInitAction = 0;
    std::uint32_t doAbc = 0;  // DoABC with and without its name
    std::uint32_t defineBinaryData = 0;
    std::uint32_t importAssets = 0;  // ImportAssets and ImportAssets2
    std::uint32_t metadata = 0;
    std::uint32_t productInfo = 0;
    bool operator==(const SwfTagCensus&) const = default;
};

struct SwfFacts {
    std::string signature;  // "FWS", "CWS" or "ZWS"; empty when the bytes are no movie
    std::optional<std::uint8_t> version;
    std::optional<std::uint32_t> declaredLength;  // the whole movie uncompressed, header included
    std::uint64_t presentLength = 0;              // how much of it the bytes give (header included)
    bool truncated = false;                       // presentLength < declaredLength
    std::optional<std::int32_t> stageWidthTwips;
    std::optional<std::int32_t> stageHeightTwips;
    std::optional<std::uint16_t> frameRate88;  // frames a second, 8.8 fixed point
    std::optional<std::uint16_t> frameCount;
    std::optional<std::uint32_t> background;  // RGB of the first SetBackgroundColor
    std::optional<SwfFileAttributes> fileAttributes;
    SwfTagCensus census;
    std::optional<std::string> metadata;  // the first Metadata tag's text
    std::optional<SwfProductInfo> productInfo;
    bool reachedEnd = false;       // the End tag of the movie was read
    std::string stoppedAt;         // where reading ended early and why; empty when it did not
    std::string scriptsStoppedAt;  // the first script whose strings could not be read through
    // Strings of the scripts and imports that look like addresses or file names, as found
    // (unresolved), each once in the order met; and those that look like host names.
    std::vector<std::string> addresses;
    std::vector<std::string> hostNames;

    double FramesPerSecond() const { return frameRate88 ? *frameRate88 / 256.0 : 0.0; }
    std::uint64_t MissingBytes() const {
        return truncated && declaredLength ? *declaredLength - presentLength : 0;
    }
};

// More uncompressed bytes than this are not decoded: the facts of the first part stand and
// stoppedAt says so.
inline constexpr std::uint64_t kSwfDecodeLimit = 256ULL << 20;

// file is the movie's file, or only its start when onlyStart is set (the rest was not read):
// the facts then go as far as that start, and stoppedAt says so instead of calling the
// movie cut short.
SwfFacts ReadSwfFacts(std::string_view file, Decompressor& decompressor,
                      std::uint64_t decodeLimit = kSwfDecodeLimit, bool onlyStart = false);

}  // namespace pellimor
