#include "operations/ExportGames.h"

#include <memory>
#include <optional>
#include <set>

#include "resources/Strings.h"

namespace pellimor {

namespace {

// The curation's values of one game, asked for where the user gives them game by game;
// nothing when the user cancelled.
class CurationQuestions {
  public:
    CurationQuestions(const ExportChoice& choice, Prompts& prompts)
        : choices_(choice.curation), ask_(choice.askEachGame), prompts_(prompts) {}

    std::optional<CurationChoices> For(const SwfEntry& movie, const ExportIndex& index,
                                       ExportServices& services) {
        if (!ask_) {
            return choices_;
        }
        // What was given last is offered for the next game.
        const auto tags =
            prompts_.AskText(FilledIn(strings::kAskTags, movie.displayName), choices_.tags);
        if (!tags) {
            return std::nullopt;
        }
        choices_.tags = *tags;
        choices_.language.clear();
        if (!LanguagesInCache(movie, index, services)) {
            const auto given =
                prompts_.AskText(FilledIn(strings::kAskLanguage, movie.displayName), language_);
            if (!given) {
                return std::nullopt;
            }
            language_ = choices_.language = *given;
        }
        return choices_;
    }

  private:
    CurationChoices choices_;
    bool ask_;
    Prompts& prompts_;
    std::string language_;
};

// The pictures of a game written beside its description, or why there are none.
void AddPictures(const SwfEntry& movie, GameExport& game, ExportFolder& folder,
                 ExportProgress& progress) {
    const auto pictures = progress.TakePictures(movie, game.stageWidth > 0 ? game.stageWidth : 550,
                                                game.stageHeight > 0 ? game.stageHeight : 400);
    if (pictures) {
        PutCurationPictures(folder, game, pictures->logo, pictures->screenshot);
    } else {
        game.notReady.push_back("no logo.png or ss.png: " + pictures.error());
    }
}

}  // namespace

std::string FilledIn(std::string_view text, std::string_view value) {
    std::string filled;
    for (std::size_t at = 0; at < text.size();) {
        if (text.substr(at, 2) == "%1") {
            filled += value;
            at += 2;
        } else {
            filled += text[at++];
        }
    }
    return filled;
}

Result<ExportOutcome> ExportGames(const SwfCatalogue& catalogue, const ExportChoice& choice,
                                  OperationServices& services, Prompts& prompts,
                                  ExportProgress& progress) {
    std::unique_ptr<ExportFolder> folder;
    if (!choice.folder.empty()) {
        auto opened = services.exportFolders.Open(choice.folder);
        if (!opened) {
            return Fail(opened.error());
        }
        folder = std::move(*opened);
    }
    ExportOutcome outcome;
    ExportIndex index;
    outcome.cacheRead = index.Build(services.listing.cache, services.listing.files);
    if (!outcome.cacheRead.ok()) {
        progress.CacheReadInPart(outcome.cacheRead.error());
    }
    CurationQuestions questions(choice, prompts);
    std::set<std::string> names;
    for (const std::int32_t key : choice.keys) {
        const SwfEntry movie = catalogue.GetEntryByKey(key);
        if (movie.key == 0) {
            continue;
        }
        progress.Starting(movie, index);
        if (!folder) {
            continue;
        }
        ExportServices exportServices{
            services.listing.cache, services.listing.files,
            services.decompressor,  *folder,
            services.saves,         choice.played.empty() ? nullptr : &choice.played};
        const std::optional<CurationChoices> curation = questions.For(movie, index, exportServices);
        if (!curation) {
            outcome.cancelled = true;
            break;
        }
        const std::string name = GameFolderName(movie.displayName, names);
        Result<GameExport> done = ExportGame(movie, name, index, exportServices, *curation);
        if (!done) {
            outcome.failed.emplace_back(movie.displayName, done.error());
            progress.Failed(movie, done.error());
            continue;
        }
        progress.Written(movie, *done);
        AddPictures(movie, *done, *folder, progress);
        progress.Finished(movie, *done, *folder);
        outcome.games.push_back(std::move(*done));
    }
    return outcome;
}

}  // namespace pellimor
