// The scratch folder of a fuzz target that reads a cache from files, and the writing of one
// input as several files of it.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <initializer_list>
#include <string>
#include <string_view>

namespace pellimor::fuzz {

// A folder made once per process under /tmp (name: e.g. "fuzz_chromium_simple").
inline std::string MakeScratchFolder(const std::string& name) {
    std::string pattern = "/tmp/" + name + ".XXXXXX";
    return std::string(::mkdtemp(pattern.data()));
}

inline void WriteFile(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The input cut at each "|FILE|" into the files named, in order; a file the input has no
// part for is removed, so that no part of an earlier input stays.
inline void WriteParts(const std::string& folder, const std::uint8_t* data, std::size_t size,
                       std::initializer_list<const char*> names) {
    constexpr std::string_view kCut = "|FILE|";
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    bool more = true;
    for (const char* name : names) {
        const std::string path = folder + "/" + name;
        if (!more) {
            ::unlink(path.c_str());
            continue;
        }
        const std::size_t cut = rest.find(kCut);
        WriteFile(path, rest.substr(0, std::min(cut, rest.size())));
        more = cut != std::string_view::npos;
        rest = more ? rest.substr(cut + kCut.size()) : std::string_view();
    }
}

}  // namespace pellimor::fuzz
