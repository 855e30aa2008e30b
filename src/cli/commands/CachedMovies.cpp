#include "cli/commands/CachedMovies.h"

#include "app/Session.h"
#include "cli/Listing.h"

namespace pellimor {

SwfFacts FactsOf(const BodyStart& start, Decompressor& decompressor) {
    return ReadSwfFacts(start.bytes, decompressor, kSwfDecodeLimit, !start.whole);
}

std::variant<std::vector<CachedMovie>, int> ChooseCachedMovies(Selection& s,
                                                               OpenedListing& listing) {
    auto opened = OpenListing(s);
    if (const int* status = std::get_if<int>(&opened)) {
        return *status;
    }
    listing = std::move(std::get<OpenedListing>(opened));
    Session& session = *listing.session;
    MovieRequest request = RequestOf(s);
    request.allMatching = true;
    const MovieChoice choice = ChooseMovies(listing.state, request);
    if (const auto refused = RefuseChoice(choice, "shown", false)) {
        return *refused;
    }
    std::vector<CachedMovie> movies;
    for (const std::int32_t key : choice.keys) {
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
