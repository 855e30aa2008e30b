// The program's window: the movie list, the site drop-down, the preview and the buttons,
// laid out from the dialog template and wired to the core's operations.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QUrlQuery>

#include <array>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "catalogue/CacheScan.h"
#include "files/SaveEntry.h"
#include "operations/OperationServices.h"
#include "ports/Decompressor.h"
#include "ports/ExportFolders.h"
#include "ports/Prompts.h"
#include "ui/CFlash_ctrl.h"
#include "ui/DialogLayout.h"
#include "ui/MovieListModel.h"
#include "ui/PopOutPlayer.h"
#include "ui/Shell.h"

namespace pellimor {

struct ExportChoice;
struct ExportOutcome;
struct SaveChoice;

// What the window works through: the session builds the objects behind them.
struct DialogServices {
    ListingServices& listing;
    Registry& registry;
    Prompts& prompts;
    Shell& shell;
    Decompressor& decompressor;
    ExportFolders& exportFolders;
    std::string defaultSaveFolder;
    // Why no cache can be listed, found at start (CacheProblem); empty when one was found.
    std::string cacheProblem = {};
    // Flash Player's saves found beside the caches; the players start each movie with its own.
    const std::vector<FoundSave>* saves = nullptr;
};

// What the window says when it has no cache to list: what was looked for, what went wrong and
// the option that names a cache; empty when folder holds an index. folder: the cache folder
// found, if any; indexFound: an index was found in it; unusable: what stood where one was
// expected.
std::string CacheProblem(const std::optional<std::string>& folder, bool indexFound,
                         const std::vector<std::string>& unusable);

class CMovieDlg : public QDialog {
    Q_OBJECT
  public:
    // font: the dialog font the layout is measured from; the application's when empty.
    CMovieDlg(DialogServices services, std::string initialSite, const QFont& font = QFont());
    // The player is a child, deleted after this part of the dialog is gone: what it tells
    // while it goes must not reach the dialog.
    ~CMovieDlg() override;

    // The control with this id (the first label for -1), or nothing.
    QWidget* Control(int id) const;
    const ListingState& listing() const { return m_listing; }
    int GetSelItems();  // fills m_selection, at most 1,000 line indices in ascending order
    const std::array<std::int32_t, kSelectionCapacity>& selection() const { return m_selection; }
    // What the preview says about the cache instead of a movie, or empty.
    const QString& cacheNote() const { return m_cacheNote; }
    // The short note shown for a few seconds after a save or a failed opening, or empty.
    QString transientNote() const;

    // The handlers, in the order of the message map.
    void OnOpenMovie();
    void OnSelChangeMovies();
    void OnRefresh();
    void OnDelete();
    void OnChooseFolder();
    void OnOpenFolder();
    void OnSaveAs();
    void OnSave();
    void OnSaveAll();
    void OnSiteChanged();

    void ShowEntryDetails(std::int32_t key);
    void UpdateButtons();
    // Puts the last scan's result into the drop-down, the list and the details.
    void ApplyListing();
    // Plays the movie of this list line in a window of its own, at its stage size.
    void PlayInWindow(int row);
    // Writes the saves of the game playing in the preview into the save folder.
    void OnWritePlayedSaves();
    // The open pop-out player, or null.
    PopOutPlayer* popOut() const { return m_popOut; }

  protected:
    // Tab and Shift+Tab walk the controls with a tab stop in template order, the preview too.
    bool focusNextPrevChild(bool next) override;

  private:
    void BuildControls(const QFont& font);
    // The widget of one control of the template; tabStop says whether it takes the focus.
    QWidget* MakeControl(const ControlSpec& spec, const BaseUnits& base, bool& tabStop);
    void BuildTransientNote();
    // The next enabled, visible tab stop after (or before) template position from, round.
    QWidget* NextTabStop(int from, bool next) const;
    void ShowCacheNote();
    void ShowTransient(const QString& text);
    void ReportSaved(const SaveOutcome& outcome);
    void OpenWithShell(const std::string& path);
    void ConnectMessageMap();
    bool OnInitDialog();
    std::vector<std::int32_t> SelectedKeys();
    // What the operations work through, from the services the window was given.
    OperationServices Operations();
    void Save(const SaveChoice& choice);
    // The shown movie's source and facts, and what it asked for that the cache lacks.
    std::string MovieFactsText(const SwfEntry& entry);
    void ShowDetailsTip();
    // The list's context menu: the chosen movies exported whole into a folder the user picks.
    void OnExportGames();
    void RunExport(const ExportChoice& choice);
    void ShowExported(const ExportOutcome& outcome, const std::string& folder);
    void OnPlayerEvent(const QString& name, int load, const QUrlQuery& fields);
    // Why the selected lines cannot be deleted; empty when they can.
    std::string SelectionReadOnlyReason();
    void ShowDeleteReason(const std::string& reason);
    void ShowHelp();
    // Asks the cache whether it may be changed; Sil stays disabled, saying why, while not.
    void CheckDeletable();

    DialogServices m_services;
    ListingState m_listing;  // m_catalogue and m_strSite live here
    std::string m_strInitialSite;
    CFlash_ctrl* m_flash = nullptr;
    QComboBox* m_cbSites = nullptr;
    QListView* m_lbMovies = nullptr;
    MovieListModel* m_model = nullptr;
    std::array<std::int32_t, kSelectionCapacity> m_selection{};
    int m_selectionCount = 0;
    std::string m_strReadOnly;  // why the cache cannot be changed; empty when it can
    std::vector<std::pair<int, QWidget*>> m_controls;
    std::vector<bool> m_tabStops;  // for each of m_controls
    QString m_cacheNote;
    QLabel* m_transient = nullptr;
    QTimer m_transientTimer;
    bool m_filling = false;             // a refill is not a selection change by the user
    QPointer<PopOutPlayer> m_popOut;    // gone when its window is closed
    std::string m_shownFacts;           // of the movie shown
    std::set<QString> m_playedMissing;  // its loads the cache could not answer
};

}  // namespace pellimor
