// The player's first load of a level after a new movie is selected, on a large cache: with the
// address book kept from the scan until the cache changes (now), against the book read again
// for every movie (as it was). Both sides select the same movies and look up the same
// addresses; pairs alternate. Usage: bench_address_book CACHE_FOLDER [PAIRS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/Session.h"
#include "files/MoviePage.h"
#include "ui/player/MovieFiles.h"

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: bench_address_book CACHE_FOLDER [PAIRS]\n");
        return 2;
    }
    const int pairs = argc == 3 ? std::max(1, std::atoi(argv[2])) : 7;
    pellimor::ProgramOptions options;
    options.cacheFolder = argv[1];
    pellimor::Session session(options);
    pellimor::CacheSource& cache = session.listing().cache;
    // Movies to select and the level each loads: addresses the cache holds.
    std::vector<std::string> addresses;
    (void)cache.Enumerate([&addresses](const pellimor::CacheEntry& entry) {
        if (entry.url) {
            addresses.push_back(*entry.url);
        }
        return addresses.size() < 64;
    });
    if (addresses.size() < 4) {
        std::fprintf(stderr, "bench_address_book: fewer than 4 addresses in the cache\n");
        return 1;
    }
    auto book = std::make_shared<pellimor::SharedAddressBook>(&cache);
    pellimor::MovieFiles files(&cache, &session.files(), book);
    std::size_t found = 0;
    // One selection of a movie and its first load of another file; per movie, the old way
    // read the whole cache again.
    auto firstLoad = [&](std::size_t movie, bool rereadPerMovie) {
        const auto start = Clock::now();
        files.SetMovie(pellimor::CachedFile{"/nowhere/m.swf", {}, {}, {}},
                       addresses[movie % addresses.size()]);
        if (rereadPerMovie) {
            book->CacheChanged();
        }
        found += files.ForAddress(addresses[(movie + 1) % addresses.size()]) ? 1 : 0;
        return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    };
    (void)firstLoad(0, false);  // the first load after the scan reads the cache either way
    std::vector<double> shared;
    std::vector<double> rebuilt;
    std::vector<double> ratios;
    for (int i = 0; i < pairs; ++i) {
        const std::size_t movie = static_cast<std::size_t>(2 * i + 1);
        double a = 0;
        double b = 0;
        if (i % 2 == 0) {
            a = firstLoad(movie, false);
            b = firstLoad(movie + 1, true);
        } else {
            b = firstLoad(movie + 1, true);
            a = firstLoad(movie, false);
        }
        shared.push_back(a);
        rebuilt.push_back(b);
        ratios.push_back(b / std::max(a, 1e-6));
    }
    std::sort(ratios.begin(), ratios.end());
    std::printf(
        "first load after selecting a movie (%zu addresses in the book, %d pairs alternated): "
        "book kept from the scan %.3f ms, read per movie %.1f ms; median ratio %.0fx "
        "(min %.0fx, max %.0fx); the cache read %d times, %zu of %d loads found\n",
        book->Current()->size(), pairs, Median(shared), Median(rebuilt), Median(ratios),
        ratios.front(), ratios.back(), book->builds(), found, 2 * pairs + 1);
    // The players' other reading after a scan: the cached pages that embed movies, read on
    // the first movie played, kept for the rest.
    std::vector<double> pageLooks;
    for (int i = 0; i < pairs; ++i) {
        pellimor::SharedMoviePages pages(&cache, &session.files());
        const auto start = Clock::now();
        (void)pages.Find(addresses[static_cast<std::size_t>(i) % addresses.size()]);
        pageLooks.push_back(
            std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::printf("first look for a movie's page after a scan: %.1f ms (median of %d)\n",
                Median(pageLooks), pairs);
    return 0;
}
