// Deleting 100 entries of a 50,000-entry container in one call, against the least any safe
// rewrite of that container costs: copying it, flushing the copy and renaming it into place.
// The two alternate round by round; each round deletes 100 other entries.
// Usage: bench_delete CACHE_FOLDER [ROUNDS]
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "platform/urlcache/IndexDatCache.h"

namespace {

constexpr std::size_t kPerRound = 100;

double Seconds(const std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// cp, fsync and rename of the container, as a plain program would replace it.
bool CopyFlushRename(const std::string& index) {
    const std::string temp = index + ".bench";
    const int in = ::open(index.c_str(), O_RDONLY | O_CLOEXEC);
    const int out = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (in < 0 || out < 0) {
        return false;
    }
    std::vector<char> buffer(1 << 16);
    bool ok = true;
    for (ssize_t got; (got = ::read(in, buffer.data(), buffer.size())) > 0;) {
        ok = ok && ::write(out, buffer.data(), static_cast<std::size_t>(got)) == got;
    }
    ok = ok && ::fsync(out) == 0;
    ::close(in);
    ::close(out);
    return ok && ::rename(temp.c_str(), (index + ".copy").c_str()) == 0;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_delete CACHE_FOLDER [ROUNDS]\n");
        return 2;
    }
    const std::string folder = argv[1];
    const std::size_t rounds = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 7;
    pellimor::IndexDatCache cache(folder, 1252);
    if (cache.containers().empty()) {
        std::fprintf(stderr, "no container under %s\n", folder.c_str());
        return 1;
    }
    const std::string index = cache.containers().front().indexPath;
    std::vector<pellimor::CacheEntryRef> refs;
    (void)cache.EnumerateRecords([&](const pellimor::CacheRecord& r) {
        if (r.container == index) {
            refs.push_back(
                {pellimor::IndexDatEntryId(cache.Location(), r), r.url, r.localFileName});
        }
        return true;
    });
    if (refs.size() < rounds * kPerRound) {
        std::fprintf(stderr, "the container holds %zu entries, too few for %zu rounds\n",
                     refs.size(), rounds);
        return 1;
    }
    std::vector<double> deletes, copies, ratios, deleteCpu, copyCpu;
    for (std::size_t round = 0; round < rounds; ++round) {
        const std::vector<pellimor::CacheEntryRef> chosen(
            refs.begin() + static_cast<long>(round * kPerRound),
            refs.begin() + static_cast<long>((round + 1) * kPerRound));
        double deleteTime = 0;
        double copyTime = 0;
        double deleteCpuTime = 0;
        double copyCpuTime = 0;
        for (int turn = 0; turn < 2; ++turn) {
            const bool deleteNow = (turn == 0) == (round % 2 == 0);  // alternate which goes first
            const auto start = std::chrono::steady_clock::now();
            const std::clock_t cpuStart = std::clock();
            if (deleteNow) {
                for (const auto& status : cache.DeleteEntries(chosen)) {
                    if (!status.ok()) {
                        std::fprintf(stderr, "delete failed: %s\n", status.error().c_str());
                        return 1;
                    }
                }
                deleteTime = Seconds(start);
                deleteCpuTime = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
            } else {
                if (!CopyFlushRename(index)) {
                    std::fprintf(stderr, "copy failed\n");
                    return 1;
                }
                copyTime = Seconds(start);
                copyCpuTime = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
            }
        }
        deletes.push_back(deleteTime);
        copies.push_back(copyTime);
        ratios.push_back(deleteTime / copyTime);
        deleteCpu.push_back(deleteCpuTime);
        copyCpu.push_back(copyCpuTime);
    }
    ::unlink((index + ".copy").c_str());
    std::printf(
        "%zu deletes in one call: %.1f ms; cp + fsync + rename: %.1f ms; ratio median %.2f "
        "(min %.2f, max %.2f) over %zu rounds, %zu entries; processor time %.1f ms against "
        "%.1f ms\n",
        kPerRound, Median(deletes) * 1e3, Median(copies) * 1e3, Median(ratios),
        *std::min_element(ratios.begin(), ratios.end()),
        *std::max_element(ratios.begin(), ratios.end()), rounds, refs.size(),
        Median(deleteCpu) * 1e3, Median(copyCpu) * 1e3);
    return 0;
}
