// Export of one site's 1,000 movies (each with the level it loads, so 2,000 files) against
// cp -r of the same files: the export reads them through the cache, finds what each loads,
// writes each below the folder without following links and its meta.yaml; cp copies the
// tree an export made. The two alternate round by round, which goes first alternating too.
// Usage: bench_export WORK_FOLDER [ROUNDS] [MOVIES]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "app/Session.h"
#include "app/SwfMaker.h"
#include "catalogue/CacheScan.h"
#include "files/ExportGame.h"
#include "platform/compression/SwfDecompressor.h"
#include "platform/fileops/ExportFolderPosix.h"
#include "platform/urlcache/CacheWriter.h"

namespace {

namespace fs = std::filesystem;

double Seconds(const std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::string Number(std::size_t i) {
    char text[24];
    std::snprintf(text, sizeof text, "%04zu", i);
    return text;
}

// A cache whose one site holds movies game0000.swf ... each loading levels/levelNNNN.swf.
std::string MakeCache(const std::string& folder, std::size_t movies, std::uint64_t& bytes) {
    pellimor::CacheProfileWriter writer(folder, pellimor::indexdat::Flavour::kInternetExplorer,
                                        2026);
    for (std::size_t i = 0; i < movies; ++i) {
        for (const bool level : {false, true}) {
            pellimor::MovieDesign design;
            design.label = (level ? "level " : "game ") + Number(i);
            design.background = 0x102030u + static_cast<std::uint32_t>(i);
            design.asLevel = level;
            design.loadMovie = level ? "" : "levels/level" + Number(i) + ".swf";
            pellimor::ContentEntry entry;
            entry.url = "http://games.bench.example/" +
                        (level ? "levels/level" + Number(i) : "game" + Number(i)) + ".swf";
            entry.body = pellimor::MakeSwfMovie(design);
            entry.extension = "swf";
            entry.lastModified = 128000000000000000ULL + i;
            entry.headers =
                "HTTP/1.1 200 OK\r\nContent-Type: application/x-shockwave-flash\r\n"
                "Last-Modified: Wed, 24 Jun 2009 12:30:00 GMT\r\n\r\n";
            bytes += entry.body.size();
            if (const auto added = writer.AddContent(entry); !added) {
                std::fprintf(stderr, "%s\n", added.error().c_str());
                return {};
            }
        }
    }
    if (const pellimor::Status saved = writer.Save(); !saved) {
        std::fprintf(stderr, "%s\n", saved.error().c_str());
        return {};
    }
    return writer.cacheFolder();
}

// What pellimor-cli export does for every movie of the site: open the caches, read the
// index of addresses, export each movie. The number of files written, or 0 on failure.
std::size_t Export(const std::string& cache, const std::string& to) {
    pellimor::ProgramOptions options;
    options.cacheFolder = cache;
    pellimor::Session session(options);
    auto folder = pellimor::ExportFolderPosix::Open(to);
    pellimor::ExportIndex index;
    if (!folder || !index.Build(session.cache(), session.files()).ok()) {
        return 0;
    }
    std::vector<pellimor::SwfEntry> movies;
    (void)session.cache().Enumerate([&](const pellimor::CacheEntry& entry) {
        if (pellimor::IsSwfCacheEntry(entry) && entry.url &&
            entry.url->find("/levels/") == std::string::npos) {
            movies.push_back(pellimor::MovieFromEntry(entry));
        }
        return true;
    });
    pellimor::SwfDecompressor decompressor;
    pellimor::ExportServices services{session.cache(), session.files(), decompressor, **folder};
    std::set<std::string> names;
    std::size_t files = 0;
    for (const pellimor::SwfEntry& movie : movies) {
        const auto done = pellimor::ExportGame(
            movie, pellimor::GameFolderName(movie.displayName, names), index, services);
        if (!done || !done->playable) {
            std::fprintf(stderr, "%s: %s\n", movie.url.c_str(),
                         done ? "not playable" : done.error().c_str());
            return 0;
        }
        files += done->files;
    }
    return files;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_export WORK_FOLDER [ROUNDS] [MOVIES]\n");
        return 2;
    }
    const std::string work = argv[1];
    const std::size_t rounds = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 7;
    const std::size_t count = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 1000;
    if (rounds < 1 || count < 1 || fs::exists(work)) {
        std::fprintf(stderr, "give a folder that does not exist yet, rounds and movies >= 1\n");
        return 2;
    }
    fs::create_directories(work);
    std::uint64_t bytes = 0;
    const std::string cache = MakeCache(work + "/profile", count, bytes);
    if (cache.empty()) {
        return 1;
    }
    // The tree cp copies: what an export makes, made once beforehand.
    const std::string source = work + "/exported";
    if (Export(cache, source) != 2 * count) {
        return 1;
    }
    std::vector<double> exports, copies, ratios;
    for (std::size_t round = 0; round < rounds; ++round) {
        const std::string exportTo = work + "/export" + std::to_string(round);
        const std::string copyTo = work + "/copy" + std::to_string(round);
        double exportTime = 0;
        double copyTime = 0;
        for (int turn = 0; turn < 2; ++turn) {
            const bool exportNow = (turn == 0) == (round % 2 == 0);
            const auto start = std::chrono::steady_clock::now();
            if (exportNow) {
                if (Export(cache, exportTo) != 2 * count) {
                    return 1;
                }
                exportTime = Seconds(start);
            } else {
                const std::string command = "cp -r '" + source + "' '" + copyTo + "'";
                if (std::system(command.c_str()) != 0) {
                    return 1;
                }
                copyTime = Seconds(start);
            }
        }
        exports.push_back(exportTime);
        copies.push_back(copyTime);
        ratios.push_back(exportTime / copyTime);
        fs::remove_all(exportTo);
        fs::remove_all(copyTo);
    }
    std::printf(
        "export of %zu movies (%zu files, %llu bytes): %.1f ms; cp -r of the same files: "
        "%.1f ms; ratio median %.2f (min %.2f, max %.2f) over %zu rounds\n",
        count, 2 * count, static_cast<unsigned long long>(bytes), Median(exports) * 1e3,
        Median(copies) * 1e3, Median(ratios), *std::min_element(ratios.begin(), ratios.end()),
        *std::max_element(ratios.begin(), ratios.end()), rounds);
    fs::remove_all(work);
    return 0;
}
