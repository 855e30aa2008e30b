#include "operations/PlayedSaves.h"

#include "catalogue/MovieSaves.h"
#include "files/SaveFiles.h"
#include "files/SettingsStore.h"
#include "sites/ParseUrl.h"

namespace pellimor {

std::vector<SaveWithMovies> ListSaves(const std::vector<FoundSave>& saves,
                                      const SwfCatalogue& catalogue, const std::string& site,
                                      const std::set<std::int32_t>* chosen) {
    std::vector<SaveWithMovies> lines;
    for (const FoundSave& save : saves) {
        SaveWithMovies line{&save, {}};
        bool ofSite =
            site.empty() || SiteFromUrl("http://" + save.host).find(site) != std::string::npos;
        bool ofChosen = false;
        for (const SwfEntry& movie : catalogue) {
            const auto movieScope = movie.IsLeftover() ? std::nullopt : SaveScopeOf(movie.url);
            if (!movieScope || !SaveBelongsTo(save, *movieScope)) {
                continue;
            }
            line.movies.push_back(&movie);
            ofSite = ofSite || movie.site.find(site) != std::string::npos;
            ofChosen = ofChosen || (chosen != nullptr && chosen->contains(movie.key));
        }
        if (ofSite && (chosen == nullptr || ofChosen)) {
            lines.push_back(std::move(line));
        }
    }
    return lines;
}

std::vector<std::pair<std::string, std::string>> PlayedSavesOf(
    const std::vector<std::pair<std::string, std::string>>& played, const SwfCatalogue& catalogue,
    const std::vector<std::int32_t>& chosen) {
    std::vector<std::pair<std::string, std::string>> theirs;
    for (const auto& one : played) {
        const auto save = SaveOfRuffleKey(one.first);
        for (const std::int32_t key : chosen) {
            const SwfEntry movie = catalogue.GetEntryByKey(key);
            if (save && movie.key != 0 && !movie.IsLeftover() &&
                !SavesOfMovie({*save}, movie.url).empty()) {
                theirs.push_back(one);
                break;
            }
        }
    }
    return theirs;
}

Result<PlayedSavesWritten> WriteSavesPlayed(
    const std::vector<std::pair<std::string, std::string>>& played, OperationServices& services) {
    if (played.empty()) {
        return Fail("The game playing has saved nothing yet.");
    }
    PlayedSavesWritten outcome;
    outcome.folder = GetSavePath(services.registry, services.defaultSaveFolder);
    auto folder = services.exportFolders.Open(outcome.folder);
    if (!folder) {
        return Fail(folder.error());
    }
    for (const WrittenSave& save : WritePlayedSaves(played, **folder)) {
        if (save.error.empty()) {
            ++outcome.written;
        } else {
            outcome.problems += save.name + ": " + save.error + "\n";
        }
    }
    return outcome;
}

}  // namespace pellimor
