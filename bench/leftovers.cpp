// The leftover listing alone, as the window runs it when its pseudo-site is chosen.
#include <cstdio>

#include "app/Session.h"
#include "catalogue/CacheScan.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_leftovers CACHE_FOLDER\n");
        return 2;
    }
    pellimor::ProgramOptions options;
    options.cacheFolder = argv[1];
    pellimor::Session session(options);
    pellimor::ListingState state;
    pellimor::ScanLeftovers(state, session.listing());
    std::printf("%zu leftover files\n", state.movieLines.size());
    return 0;
}
