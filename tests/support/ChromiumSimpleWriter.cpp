#include "support/ChromiumSimpleWriter.h"

#include <cstdio>
#include <initializer_list>

#include "ground/ByteReader.h"
#include "platform/chromium/SimpleCacheFormat.h"
#include "support/TempFolder.h"

namespace pellimor::test {

namespace {

namespace fmt = chromium_simple;

constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600LL;
constexpr std::uint32_t kResponseInfoVersion = 3;
constexpr std::uint32_t kTruncatedFlag = 1u << 12;
constexpr std::uint32_t kExtraFlagsFlag = 1u << 31;
constexpr std::uint32_t kEntryVersion = 5;

void AppendU32(std::string& out, std::initializer_list<std::uint32_t> values) {
    for (const std::uint32_t v : values) {
        std::uint8_t bytes[4];
        PutU32(bytes, v);
        out.append(reinterpret_cast<const char*>(bytes), 4);
    }
}

void AppendU64(std::string& out, std::uint64_t v) {
    std::uint8_t bytes[8];
    PutU64(bytes, v);
    out.append(reinterpret_cast<const char*>(bytes), 8);
}

// A pickled string: its length, the bytes, zeros up to a multiple of 4.
void AppendPickledString(std::string& out, const std::string& text) {
    AppendU32(out, {static_cast<std::uint32_t>(text.size())});
    out += text;
    out.append((4 - text.size() % 4) % 4, '\0');
}

std::string Header(const SimpleEntrySpec& spec) {
    std::string out;
    AppendU64(out, fmt::kInitialMagic);
    // The key's hash is not checked by the reader; padding.
    AppendU32(out, {kEntryVersion, static_cast<std::uint32_t>(spec.key.size()), 0x12345678, 0});
    return out;
}

std::string Eof(std::uint32_t flags, std::uint32_t streamSize) {
    std::string out;
    AppendU64(out, fmt::kFinalMagic);
    AppendU32(out, {flags, 0, streamSize, 0});  // no crc; padding
    return out;
}

}  // namespace

std::string PickledResponse(const SimpleEntrySpec& spec) {
    std::string payload;
    std::uint32_t flags = kResponseInfoVersion;
    if (spec.truncatedFlag) {
        flags |= kTruncatedFlag;
    }
    if (spec.extraFlags) {
        flags |= kExtraFlagsFlag;
    }
    AppendU32(payload, {flags});
    if (spec.extraFlags) {
        AppendU32(payload, {0});
    }
    const std::uint64_t chromeTime =
        static_cast<std::uint64_t>(spec.responseTime + kSecondsFrom1601To1970) * 1000000;
    AppendU64(payload, chromeTime - 1000000);  // request time
    AppendU64(payload, chromeTime);            // response time
    std::string raw;
    for (const std::string& line : spec.headerLines) {
        raw += line;
        raw += '\0';
    }
    raw += '\0';
    AppendPickledString(payload, raw);
    AppendPickledString(payload, "127.0.0.1");  // the server's address and port
    AppendU32(payload, {80});
    std::string pickle;
    AppendU32(pickle, {static_cast<std::uint32_t>(payload.size())});
    return pickle + payload;
}

std::string SimpleEntryBytes(const SimpleEntrySpec& spec) {
    const std::string stream0 = PickledResponse(spec);
    std::string out = Header(spec) + spec.key + spec.body + Eof(1, 0) + stream0;
    std::uint32_t flags = 1;
    if (spec.keySha256) {
        out.append(fmt::kKeySha256Size, '\x5a');
        flags |= fmt::kEofHasKeySha256;
    }
    return out + Eof(flags, static_cast<std::uint32_t>(stream0.size()));
}

std::string SimpleEntryName(std::uint64_t hash, const char* suffix) {
    char name[32];
    std::snprintf(name, sizeof name, "%016llx%s", static_cast<unsigned long long>(hash), suffix);
    return name;
}

std::string WriteSimpleEntry(const std::string& folder, std::uint64_t hash,
                             const SimpleEntrySpec& spec) {
    const std::string path = folder + "/" + SimpleEntryName(hash);
    WriteFile(path, SimpleEntryBytes(spec));
    if (!spec.stream2.empty()) {
        WriteFile(folder + "/" + SimpleEntryName(hash, "_1"),
                  Header(spec) + spec.key + spec.stream2 + Eof(1, 0));
    }
    if (spec.sparse) {
        WriteFile(folder + "/" + SimpleEntryName(hash, "_s"), Header(spec) + spec.key);
    }
    return path;
}

void WriteSimpleIndex(const std::string& folder) {
    std::string out;
    AppendU64(out, fmt::kIndexMagic);
    AppendU32(out, {9, 0});  // version
    AppendU64(out, 0);
    WriteFile(folder + "/index", out);
}

}  // namespace pellimor::test
