#include "cli/commands/CachedMovies.h"

#include "app/Session.h"
#include "cli/Listing.h"

namespace pellimor {

SwfFacts FactsOf(const BodyStart& start, Decompressor& decompressor) {
    return ReadSwfFacts(start.bytes, decompressor, kSwfDecodeLimit, !start.whole);
}

std::variant<std::vector<CachedMovie>, int> ChooseCachedMovies(Selection& s,
                                                               OpenedListing& listing) {
    auto opened = OpenAndChoose(s, {.verb = "shown", .allMatching = true});
    if (const int* status = std::get_if<int>(&opened)) {
        return *status;
    }
    auto& chosen = std::get<ChosenMovies>(opened);
    listing = std::move(chosen.listing);
    Session& session = *listing.session;
    std::vector<CachedMovie> movies;
    for (const std::int32_t key : chosen.keys) {
        for (const SwfEntry& entry : listing.state.catalogue) {
            if (entry.key != key) {
                continue;
            }
            CachedMovie movie{entry, std::nullopt, {}};
            const CachedFile file{entry.localPath, {}, entry.id, std::nullopt};
            if (auto start =
                    ReadBodyStart(&session.cache(), session.files(), file, kFactsReadLimit)) {
                movie.start = std::move(*start);
            } else {
                movie.error = start.error();
            }
            movies.push_back(std::move(movie));
        }
    }
    return movies;
}

}  // namespace pellimor
