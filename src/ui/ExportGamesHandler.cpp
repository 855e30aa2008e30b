// The list's "export game" command: the folder and each game's tags asked for, the games
// exported by the core's operation with pictures the window's own player takes, and what
// happened shown.
#include <QStringList>

#include "files/SettingsStore.h"
#include "operations/ExportGames.h"
#include "operations/PlayedSaves.h"
#include "resources/Strings.h"
#include "ui/CMovieDlg.h"
#include "ui/MovieShot.h"
#include "ui/QtText.h"
#include "ui/WaitCursor.h"

namespace pellimor {

namespace {

// The pictures taken by a player of the window's own, offscreen, while the window waits (no
// dialog asks meanwhile).
class WindowPictures : public ExportProgress {
  public:
    WindowPictures(QWidget& window, ListingServices& listing, CFlash_ctrl& preview)
        : window_(window), listing_(listing), preview_(preview) {}

    Result<GamePictures> TakePictures(const SwfEntry& movie, int width, int height) override {
        const WaitCursor wait;
        window_.setEnabled(false);
        const auto shots =
            ShootMovie({Q(movie.localPath), Q(movie.url), movie.id, QSize(width, height)},
                       &listing_.cache, &listing_.files, preview_.addresses(), preview_.pages());
        window_.setEnabled(true);
        if (!shots) {
            return Fail(shots.error());
        }
        return GamePictures{shots->logo.toStdString(), shots->screenshot.toStdString()};
    }

  private:
    QWidget& window_;
    ListingServices& listing_;
    CFlash_ctrl& preview_;
};

}  // namespace

void CMovieDlg::OnExportGames() {
    ExportChoice choice;
    choice.keys = SelectedKeys();
    if (choice.keys.empty()) {
        return;
    }
    const std::string start = GetSavePath(m_services.registry, m_services.defaultSaveFolder);
    const auto chosen =
        m_services.prompts.BrowseForFolder(std::string(strings::kExportGame), start.substr(0, 259));
    if (!chosen || chosen->empty()) {
        return;
    }
    choice.folder = *chosen;
    choice.askEachGame = true;
    choice.curation.tagsGiven = choice.curation.languageGiven = "in the window";
    // What the game in the preview saved while it played may go with it, beside the save
    // found; the player answers later, so the export waits for it.
    m_flash->ReadPlayedSaves(
        [this, choice](std::vector<std::pair<std::string, std::string>> played) mutable {
            choice.played = PlayedSavesOf(played, m_listing.catalogue, choice.keys);
            if (!choice.played.empty() &&
                !m_services.prompts.AskYesNo(std::string(strings::kExportPlayedSaves))) {
                choice.played.clear();
            }
            RunExport(choice);
        });
}

void CMovieDlg::RunExport(const ExportChoice& choice) {
    OperationServices operations = Operations();
    WindowPictures pictures(*this, m_services.listing, *m_flash);
    const Result<ExportOutcome> outcome =
        ExportGames(m_listing.catalogue, choice, operations, m_services.prompts, pictures);
    if (!outcome) {
        m_services.prompts.ShowError(outcome.error());
        return;
    }
    ShowExported(*outcome, choice.folder);
}

void CMovieDlg::ShowExported(const ExportOutcome& outcome, const std::string& folder) {
    std::string problems;
    for (const auto& [name, why] : outcome.failed) {
        problems += name + ": " + why + "\n";
    }
    if (!problems.empty()) {
        m_services.prompts.ShowError(problems);
    }
    QStringList notReadyGames;
    std::string notReady;
    for (const GameExport& game : outcome.games) {
        if (!game.notReady.empty()) {
            notReadyGames.append(Q(game.folder));
        }
        for (const std::string& why : game.notReady) {
            notReady += game.folder + ": " + why + "\n";
        }
    }
    if (!notReady.empty()) {
        m_services.prompts.ShowErrorDetails(
            Q(strings::kNotReady).arg(notReadyGames.join(QStringLiteral(", "))).toStdString(),
            notReady);
    }
    ShowTransient(QStringLiteral("%1 → %2").arg(outcome.games.size()).arg(Q(folder)));
}

}  // namespace pellimor
