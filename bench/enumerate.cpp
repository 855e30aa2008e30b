// Walks every record of a cache (all its containers) and prints how many there were.
#include <cstdio>

#include "platform/urlcache/IndexDatCache.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_enumerate CACHE_FOLDER\n");
        return 2;
    }
    pellimor::IndexDatCache cache(argv[1], 1252);
    unsigned long records = 0;
    unsigned long bytes = 0;
    const auto status = cache.Enumerate([&](const pellimor::CacheEntry& r) {
        ++records;
        bytes += r.url ? r.url->size() : 0;
        return true;
    });
    std::printf("%lu records, %lu URL bytes\n", records, bytes);
    return status.ok() ? 0 : 1;
}
