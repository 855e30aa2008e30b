#include "HostileCaches.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "ChromiumSimpleWriter.h"
#include "FirefoxCache2Writer.h"
#include "FirefoxV1Writer.h"
#include "TempFolder.h"
#include "catalogue/SwfBuilder.h"

namespace pellimor::test {

namespace {

const std::string kMovie = std::string("FWS\x08\x20\x00\x00\x00", 8) + std::string(24, '\x11');
const std::string kFlash = "Content-Type: application/x-shockwave-flash";

// A maker that cannot make its cache stops the program: the test or benchmark is void.
void Require(bool holds, const std::string& what) {
    if (!holds) {
        std::fprintf(stderr, "cannot make the hostile cache: %s\n", what.c_str());
        std::abort();
    }
}

void PutBig32(std::string& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> (24 - 8 * i));
    }
}

std::uint32_t Big32(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    }
    return value;
}

// Links under `names` names in all, by turns to the two files.
void LinkByTurns(const std::string& folder, const std::string (&files)[2], std::size_t names,
                 const std::function<std::string(std::size_t)>& nameOf) {
    for (std::size_t i = 2; i < names; ++i) {
        const std::string name = folder + "/" + nameOf(i);
        Require(::link(files[i % 2].c_str(), name.c_str()) == 0, "link " + name);
    }
}

}  // namespace

std::string LongAddress(char fill, std::size_t length) {
    const std::string start = "http://games.example/";
    return start + std::string(length - start.size() - 4, fill) + ".swf";
}

void MakeSharedRecordsV1(const std::string& folder, std::size_t records,
                         const std::string (&addresses)[2]) {
    V1CacheSpec spec;
    for (std::uint32_t i = 0; i < 2; ++i) {
        spec.entries.push_back({"HTTP:" + addresses[i], kMovie,
                                "HTTP/1.1 200 OK\r\n" + kFlash + "\r\n", V1BodyPlace::kBlockFile,
                                0x1000 + i});
    }
    WriteV1Cache(folder, spec);
    const std::string mapPath = folder + "/_CACHE_MAP_";
    const std::string map = ReadFile(mapPath);
    constexpr std::size_t kHeader = 276;
    std::vector<std::string> live;
    for (std::size_t at = kHeader; at + 16 <= map.size(); at += 16) {
        if (Big32(map, at) != 0) {
            live.push_back(map.substr(at, 16));
        }
    }
    Require(live.size() == 2, "two records in " + mapPath);
    std::string made = map.substr(0, kHeader);
    PutBig32(made, 8, static_cast<std::uint32_t>(records));
    PutBig32(made, 16, static_cast<std::uint32_t>(records));
    for (std::size_t i = 0; i < records; ++i) {
        std::string record = live[i % 2];
        PutBig32(record, 0, static_cast<std::uint32_t>(0x10000 + i));  // a hash of its own
        made += record;
    }
    WriteFile(mapPath, made);
}

void MakeSharedKeysBlockFiles(const std::string& folder, std::size_t entries,
                              const std::string (&addresses)[2]) {
    constexpr std::uint32_t kBlock256 = 0xA0010000;  // in use, 256-byte blocks, data_1
    std::string index(368 + 4 * entries, '\0');
    index.replace(0, 4, Le32(0xC103CAC3));
    index.replace(4, 4, Le32(0x20001));
    index.replace(8, 4, Le32(static_cast<std::uint32_t>(entries)));
    index.replace(28, 4, Le32(static_cast<std::uint32_t>(entries)));
    std::string data(8192 + 256 * (entries + 1), '\0');
    data.replace(0, 4, Le32(0xC104CAC3));
    data.replace(12, 4, Le32(256));
    data.replace(8192, kMovie.size(), kMovie);
    for (std::size_t i = 0; i < entries; ++i) {
        const auto block = static_cast<std::uint32_t>(i + 1);
        index.replace(368 + 4 * i, 4, Le32(kBlock256 | block));
        const std::size_t at = 8192 + 256 * std::size_t{block};
        // Key length (with its terminator) and long key address; stream 1's size and address.
        data.replace(at + 32, 4, Le32(static_cast<std::uint32_t>(addresses[i % 2].size() + 1)));
        data.replace(at + 36, 4, Le32(0x80000000 | static_cast<std::uint32_t>(1 + i % 2)));
        data.replace(at + 44, 4, Le32(static_cast<std::uint32_t>(kMovie.size())));
        data.replace(at + 60, 4, Le32(kBlock256));
    }
    WriteFile(folder + "/index", index);
    WriteFile(folder + "/data_1", data);
    WriteFile(folder + "/f_000001", addresses[0] + '\0');
    WriteFile(folder + "/f_000002", addresses[1] + '\0');
}

void MakeLinkedSimple(const std::string& folder, std::size_t names,
                      const std::string (&addresses)[2]) {
    WriteSimpleIndex(folder);
    std::string files[2];
    for (std::size_t i = 0; i < 2; ++i) {
        SimpleEntrySpec spec;
        spec.key = "1/0/_dk_http://games.example http://games.example " + addresses[i];
        spec.body = kMovie;
        spec.headerLines = {"HTTP/1.1 200 OK", kFlash};
        files[i] = WriteSimpleEntry(folder, i, spec);
    }
    LinkByTurns(folder, files, names, [](std::size_t i) { return SimpleEntryName(i); });
}

void MakeLinkedCache2(const std::string& folder, std::size_t names,
                      const std::string (&addresses)[2]) {
    MakeFolders(folder + "/entries");
    std::string files[2];
    for (std::size_t i = 0; i < 2; ++i) {
        Cache2EntrySpec spec;
        spec.key = ":" + addresses[i];
        spec.body = kMovie;
        spec.responseHead = "HTTP/1.1 200 OK\r\n" + kFlash + "\r\n";
        files[i] = WriteCache2Entry(folder + "/entries", spec);
    }
    LinkByTurns(folder + "/entries", files, names,
                [](std::size_t i) { return Cache2EntryName("linked " + std::to_string(i)); });
}

void MakeCutShortSimple(const std::string& folder, std::size_t files, std::uint64_t size) {
    WriteSimpleIndex(folder);
    SimpleEntrySpec spec;
    spec.key = "1/0/_dk_http://games.example http://games.example http://games.example/cut.swf";
    spec.body = kMovie;
    spec.headerLines = {"HTTP/1.1 200 OK", kFlash};
    // The header, the key and the body's first 8 bytes.
    const std::string start = SimpleEntryBytes(spec).substr(0, 24 + spec.key.size() + 8);
    for (std::size_t i = 0; i < files; ++i) {
        const std::string path = folder + "/" + SimpleEntryName(i);
        WriteFile(path, start);
        Require(::truncate(path.c_str(), static_cast<off_t>(size)) == 0, "truncate " + path);
    }
}

}  // namespace pellimor::test
