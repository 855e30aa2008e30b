#include "operations/SaveMovies.h"

#include <unordered_set>

namespace pellimor {

SaveOutcome SaveMovies(const SwfCatalogue& catalogue, const SaveChoice& choice,
                       OperationServices& services, Prompts& prompts) {
    SaveServices save{services.listing.files,     services.registry, prompts,
                      services.defaultSaveFolder, choice.folder,     &services.listing.cache};
    const std::vector<std::int32_t> none;
    const std::vector<std::int32_t>& keys = choice.keys ? *choice.keys : none;
    switch (choice.kind) {
        case SaveChoice::Kind::kSave:
            return OnSave(catalogue, keys, save);
        case SaveChoice::Kind::kSaveAs:
            return OnSaveAs(catalogue, keys, save);
        case SaveChoice::Kind::kSaveAll:
            break;
    }
    if (!choice.keys) {
        return OnSaveAll(catalogue, save);
    }
    // The chosen movies in the cache's order, as Save All takes them.
    const std::unordered_set<std::int32_t> chosen(keys.begin(), keys.end());
    SwfCatalogue movies;
    for (const SwfEntry& entry : catalogue) {
        if (chosen.contains(entry.key)) {
            movies.Append(entry);
        }
    }
    return OnSaveAll(movies, save);
}

}  // namespace pellimor
