// The facts of many movies against reading the same bytes and decompressing them with
// Python's zlib (and lzma for ZWS). Each side runs as its own process over the same list of
// files, alternately, so that both pay for starting and for the page cache alike.
// Usage: bench_swf_facts DIR [PAIRS]   every *.swf under DIR
//        bench_swf_facts --facts LIST  (the measured side: one path a line)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "catalogue/SwfFacts.h"
#include "platform/compression/SwfDecompressor.h"
#include "platform/fileops/PosixFileOps.h"

namespace {

constexpr const char* kPython = R"(
import lzma, struct, sys, zlib
total = 0
for path in open(sys.argv[1], encoding="utf-8").read().splitlines():
    with open(path, "rb") as f:
        data = f.read()
    if data[:3] == b"CWS":
        data = zlib.decompressobj().decompress(data[8:])
    elif data[:3] == b"ZWS" and len(data) >= 17:
        size = struct.unpack("<I", data[4:8])[0] - 8
        try:
            data = lzma.LZMADecompressor(lzma.FORMAT_ALONE).decompress(
                data[12:17] + struct.pack("<Q", size) + data[17:])
        except lzma.LZMAError:
            pass
    total += len(data)
print(total)
)";

int Facts(const char* list) {
    pellimor::PosixFileOps files;
    pellimor::SwfDecompressor decompressor;
    std::ifstream in(list);
    std::string path;
    unsigned long movies = 0, tags = 0;
    while (std::getline(in, path)) {
        const auto bytes = files.ReadFile(path, 1ULL << 30);
        if (!bytes) {
            continue;
        }
        const pellimor::SwfFacts facts = pellimor::ReadSwfFacts(*bytes, decompressor);
        ++movies;
        tags += facts.census.tags;
    }
    std::printf("%lu movies, %lu tags\n", movies, tags);
    return 0;
}

double Seconds(const std::string& command) {
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--facts") {
        return Facts(argv[2]);
    }
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: bench_swf_facts DIR [PAIRS]\n");
        return 2;
    }
    const int pairs = argc == 3 ? std::max(5, std::atoi(argv[2])) : 7;
    const std::string list = std::filesystem::temp_directory_path() / "bench_swf_facts.list";
    const std::string script = std::filesystem::temp_directory_path() / "bench_swf_facts.py";
    unsigned long count = 0, bytes = 0;
    {
        std::ofstream out(list);
        for (const auto& item : std::filesystem::recursive_directory_iterator(argv[1])) {
            if (item.is_regular_file() && item.path().extension() == ".swf") {
                out << item.path().string() << "\n";
                ++count;
                bytes += item.file_size();
            }
        }
        std::ofstream(script) << kPython;
    }
    const std::string ours = std::string(argv[0]) + " --facts '" + list + "' >/dev/null";
    const std::string python = "python3 '" + script + "' '" + list + "' >/dev/null";
    Seconds(ours);  // warm the page cache for both
    Seconds(python);
    std::vector<double> ratios;
    double oursTotal = 0, pythonTotal = 0;
    for (int i = 0; i < pairs; ++i) {
        // Alternate which side goes first, so that neither always follows the other.
        const double a = i % 2 == 0 ? Seconds(ours) : 0;
        const double b = Seconds(python);
        const double c = i % 2 == 1 ? Seconds(ours) : a;
        ratios.push_back(c / b);
        oursTotal += c;
        pythonTotal += b;
    }
    std::sort(ratios.begin(), ratios.end());
    std::printf(
        "%lu movies (%lu bytes): facts %.3f s, read + decompress (Python zlib/lzma) %.3f s a "
        "run; ratio median %.2f (spread %.2f to %.2f over %d pairs)\n",
        count, bytes, oursTotal / pairs, pythonTotal / pairs, ratios[ratios.size() / 2],
        ratios.front(), ratios.back(), pairs);
    std::remove(list.c_str());
    std::remove(script.c_str());
    return 0;
}
