#include "catalogue/SwfFacts.h"

#include <algorithm>
#include <unordered_set>

#include "catalogue/SwfAddresses.h"
#include "catalogue/SwfBits.h"
#include "catalogue/SwfScriptStrings.h"
#include "catalogue/SwfTags.h"

namespace pellimor {

namespace {

constexpr std::size_t kHeaderSize = 8;
// A ZWS header: signature, version, length, the compressed length, the LZMA properties.
constexpr std::size_t kZwsDataStart = 17;
// So many distinct addresses and host names are kept; a movie made to list more gets these.
constexpr std::size_t kMostStrings = 10000;

class FactsReader {
  public:
    explicit FactsReader(SwfFacts& facts) : facts_(facts) {}

    // The header after the first eight bytes: stage, frame rate and count, then the tags.
    void ReadMovie(std::string_view movie) {
        SwfCursor at(movie, kHeaderSize);
        SwfBitReader bits(at);
        const auto size = bits.Unsigned(5);
        std::optional<std::int32_t> rect[4];
        for (auto& value : rect) {
            value = size ? bits.Signed(static_cast<int>(*size)) : std::nullopt;
        }
        if (!rect[3]) {
            Stop("byte 8: the movie ends inside its stage size");
            return;
        }
        facts_.stageWidthTwips = static_cast<std::int32_t>(
            std::clamp<std::int64_t>(std::int64_t{*rect[1]} - *rect[0], INT32_MIN, INT32_MAX));
        facts_.stageHeightTwips = static_cast<std::int32_t>(
            std::clamp<std::int64_t>(std::int64_t{*rect[3]} - *rect[2], INT32_MIN, INT32_MAX));
        facts_.frameRate88 = at.U16();
        facts_.frameCount = at.U16();
        if (!facts_.frameCount) {
            Stop("byte " + std::to_string(at.offset()) +
                 ": the movie ends inside its frame rate and count");
            return;
        }
        const std::string stopped =
            WalkSwfTags(movie, at.offset(), [this](const SwfTag& tag) { return Visit(tag, 0); });
        facts_.reachedEnd = stopped.empty();
        Stop(stopped);
    }

    void Stop(const std::string& where) {
        if (facts_.stoppedAt.empty()) {
            facts_.stoppedAt = where;
        }
    }

  private:
    bool Visit(const SwfTag& tag, int depth) {
        if (depth == 0 && tag.code != kTagEnd) {
            ++facts_.census.tags;
        }
        SwfCursor at(tag.body);
        switch (tag.code) {
            case kTagSetBackgroundColor:
                if (!facts_.background && tag.body.size() >= 3) {
                    const auto r = *at.U8(), g = *at.U8(), b = *at.U8();
                    facts_.background = std::uint32_t{r} << 16 | std::uint32_t{g} << 8 | b;
                }
                break;
            case kTagFileAttributes:
                if (const auto flags = at.U32(); flags && !facts_.fileAttributes) {
                    facts_.fileAttributes = SwfFileAttributes{
                        *flags, (*flags & 0x08) != 0, (*flags & 0x01) != 0, (*flags & 0x10) != 0};
                }
                break;
            case kTagDoAction:
                ++facts_.census.doAction;
                Note(tag, ActionStrings(tag.body, Sink()));
                break;
            case kTagDoInitAction:
                ++facts_.census.doInitAction;
                if (at.Skip(2)) {
                    Note(tag, ActionStrings(tag.body.substr(2), Sink()));
                }
                break;
            case kTagDoAbc:
                ++facts_.census.doAbc;
                if (at.Skip(4) && at.CString()) {
                    Note(tag, AbcStrings(tag.body.substr(at.offset()), Sink()));
                } else {
                    Note(tag, "cut before its ABC file");
                }
                break;
            case kTagDoAbcPlain:
                ++facts_.census.doAbc;
                Note(tag, AbcStrings(tag.body, Sink()));
                break;
            case kTagDefineBinaryData:
                ++facts_.census.defineBinaryData;
                break;
            case kTagImportAssets:
            case kTagImportAssets2:
                ++facts_.census.importAssets;
                if (const auto url = at.CString()) {
                    Sink()(*url);
                }
                break;
            case kTagMetadata:
                ++facts_.census.metadata;
                if (!facts_.metadata) {
                    const std::string_view text = tag.body.substr(0, tag.body.find('\0'));
                    facts_.metadata = std::string(text);
                }
                break;
            case kTagProductInfo:
                ++facts_.census.productInfo;
                ReadProductInfo(at);
                break;
            case kTagDefineSprite:
                // A sprite's own timeline holds tags too; sprites within sprites are not
                // movies Flash makes, and are not looked into.
                if (depth == 0 && at.Skip(4)) {
                    const std::string stopped = WalkSwfTags(
                        tag.body, 4, [this](const SwfTag& inner) { return Visit(inner, 1); });
                    Note(tag, stopped.empty() ? "" : "its timeline: " + stopped);
                }
                break;
            default:
                break;
        }
        return true;
    }

    void ReadProductInfo(SwfCursor& at) {
        SwfProductInfo info;
        const auto product = at.U32(), edition = at.U32();
        const auto major = at.U8(), minor = at.U8();
        const auto build = at.U64(), compiled = at.U64();
        if (compiled && !facts_.productInfo) {
            info.product = *product;
            info.edition = *edition;
            info.major = *major;
            info.minor = *minor;
            info.build = *build;
            info.compiledAtMs = *compiled;
            facts_.productInfo = info;
        }
    }

    // A script that stops making sense is noted, the walk goes on with the next tag.
    void Note(const SwfTag& tag, const std::string& problem) {
        if (!problem.empty() && facts_.scriptsStoppedAt.empty()) {
            facts_.scriptsStoppedAt =
                "byte " + std::to_string(tag.offset) + ": " + SwfTagName(tag.code) + ": " + problem;
        }
    }

    StringSink Sink() {
        return [this](std::string_view text) {
            if (LooksLikeLoadAddress(text)) {
                Keep(text, facts_.addresses);
            } else if (LooksLikeHostName(text)) {
                Keep(text.front() == '.' ? text.substr(1) : text, facts_.hostNames);
            }
        };
    }

    void Keep(std::string_view text, std::vector<std::string>& into) {
        if (into.size() < kMostStrings && seen_.insert(std::string(text)).second) {
            into.emplace_back(text);
        }
    }

    SwfFacts& facts_;
    std::unordered_set<std::string> seen_;
};

}  // namespace

SwfFacts ReadSwfFacts(std::string_view file, Decompressor& decompressor, std::uint64_t decodeLimit,
                      bool onlyStart) {
    SwfFacts facts;
    SwfCursor header(file);
    const auto signature = header.Bytes(3);
    if (!signature || (*signature != "FWS" && *signature != "CWS" && *signature != "ZWS")) {
        facts.stoppedAt = "byte 0: no SWF signature (FWS, CWS or ZWS)";
        return facts;
    }
    facts.signature = std::string(*signature);
    facts.version = header.U8();
    facts.declaredLength = header.U32();
    if (!facts.declaredLength) {
        facts.version.reset();
        facts.stoppedAt = "byte 3: the file ends inside its header";
        facts.presentLength = file.size();
        facts.truncated = true;
        return facts;
    }
    const std::uint64_t declared = *facts.declaredLength;
    const std::uint64_t wantedBody = declared > kHeaderSize ? declared - kHeaderSize : 0;
    std::string decoded;
    std::string_view movie;
    std::string decodeStop;
    if (facts.signature == "FWS") {
        movie = file.substr(0, std::max<std::uint64_t>(
                                   kHeaderSize, std::min<std::uint64_t>(declared, file.size())));
    } else {
        Result<Decoded> body = Failure{};
        if (facts.signature == "CWS") {
            body =
                decompressor.Inflate(file.substr(kHeaderSize), std::min(wantedBody, decodeLimit));
        } else {
            // The compressed length is not needed: the LZMA data runs to the end of the file.
            body = file.size() >= kZwsDataStart - 5
                       ? decompressor.DecodeSwfLzma(file.substr(kZwsDataStart - 5), wantedBody,
                                                    decodeLimit)
                       : Result<Decoded>(Decoded{});
        }
        if (!body) {
            facts.stoppedAt = "byte 8: " + body.error();
            facts.presentLength = kHeaderSize;
            facts.truncated = declared > kHeaderSize;
            return facts;
        }
        // A stream that goes on past the declared length is read as far as that length.
        if (body->atLimit && wantedBody > decodeLimit) {
            decodeStop = "byte " + std::to_string(kHeaderSize + body->bytes.size()) +
                         ": no more than " + std::to_string(decodeLimit) +
                         " bytes are decompressed";
        } else if (!body->damage.empty()) {
            decodeStop = "byte " + std::to_string(kHeaderSize + body->bytes.size()) +
                         ": the compressed data is damaged (" + body->damage + ")";
        }
        const std::size_t kept = std::min<std::uint64_t>(body->bytes.size(), wantedBody);
        decoded.reserve(kHeaderSize + kept);
        decoded.append(file.substr(0, kHeaderSize));
        decoded.append(body->bytes, 0, kept);
        movie = decoded;
    }
    facts.presentLength = movie.size();
    if (onlyStart && movie.size() < declared && decodeStop.empty()) {
        decodeStop = "byte " + std::to_string(movie.size()) + ": no more than " +
                     std::to_string(file.size()) + " bytes of the file are read";
    }
    facts.truncated =
        facts.presentLength < declared && decodeStop.find("no more than") == std::string::npos;
    if (facts.truncated && decodeStop.empty()) {
        decodeStop = "byte " + std::to_string(movie.size()) + ": the file ends " +
                     std::to_string(declared - movie.size()) + " bytes before its declared length";
    }
    FactsReader reader(facts);
    reader.ReadMovie(movie);
    // The first reason reading ended early is the one to tell: a cut file explains a tag
    // that runs past the end.
    if (!decodeStop.empty() && !facts.reachedEnd) {
        facts.stoppedAt = decodeStop;
    }
    return facts;
}

}  // namespace pellimor
