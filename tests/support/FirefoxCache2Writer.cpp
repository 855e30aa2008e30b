#include "FirefoxCache2Writer.h"

#include "TempFolder.h"

#include <fstream>

namespace pellimor::test {

namespace {

constexpr std::uint32_t kChunkSize = 256 * 1024;

std::string Element(std::string_view name, std::string_view value) {
    std::string out(name);
    out.push_back('\0');
    out += value;
    out.push_back('\0');
    return out;
}

// What follows a body of bodySize bytes: hashes, metadata, the body's length.
std::string Cache2Tail(const Cache2EntrySpec& spec, std::uint64_t bodySize) {
    std::string file;
    AppendBig32(file, {0x12345678});  // the metadata's hash: not checked by the reader
    const std::size_t chunks = (bodySize + kChunkSize - 1) / kChunkSize;
    file.append(chunks * 2, '\x5A');
    AppendBig32(file,
                {spec.version, spec.fetchCount, spec.lastFetched, spec.lastModified, spec.frecency,
                 spec.expiration, static_cast<std::uint32_t>(spec.key.size())});
    if (spec.version >= 2) {
        AppendBig32(file, {0});  // flags
    }
    file += spec.key;
    file.push_back('\0');
    file += Element("request-method", "GET");
    if (!spec.responseHead.empty()) {
        file += Element("response-head", spec.responseHead);
    }
    file += Element("net-response-time-onstart", "12");
    if (spec.version >= 4) {
        AppendBig32(file, {spec.version});  // the two-word trailer of Firefox's newest entries
    }
    AppendBig32(file, {static_cast<std::uint32_t>(bodySize) | (spec.encrypted ? 0x80000000 : 0)});
    return file;
}

}  // namespace

void AppendBig32(std::string& out, std::initializer_list<std::uint32_t> values) {
    for (const std::uint32_t value : values) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            out.push_back(static_cast<char>((value >> shift) & 0xFF));
        }
    }
}

std::string Cache2EntryBytes(const Cache2EntrySpec& spec) {
    return spec.body + Cache2Tail(spec, spec.body.size());
}

std::string Cache2EntryName(std::string_view key) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string name;
    std::uint64_t hash = 1469598103934665603ULL;
    for (int round = 0; name.size() < 40; ++round) {
        for (const char c : key) {
            hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
        }
        hash ^= static_cast<std::uint64_t>(round);
        for (int i = 0; i < 16 && name.size() < 40; ++i) {
            name.push_back(kDigits[(hash >> (4 * i)) & 0xF]);
        }
    }
    return name;
}

std::string WriteCache2Entry(const std::string& folder, const Cache2EntrySpec& spec) {
    const std::string path = folder + "/" + Cache2EntryName(spec.key);
    if (spec.bodyHole == 0) {
        WriteFile(path, Cache2EntryBytes(spec));
        return path;
    }
    // The hole is skipped, not written: the file is sparse.
    std::ofstream out(path, std::ios::binary);
    out << spec.body;
    out.seekp(static_cast<std::streamoff>(spec.body.size() + spec.bodyHole));
    out << Cache2Tail(spec, spec.body.size() + spec.bodyHole);
    return path;
}

}  // namespace pellimor::test
