// The program's window: the movie list, the site drop-down, the preview and the buttons,
// laid out from the dialog template and wired to the core's operations.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QListView>
#include <QPointer>
#include <QPushButton>

#include <array>
#include <cstdint>

#include "catalogue/CacheScan.h"
#include "files/Prompts.h"
#include "files/SaveEntry.h"
#include "ui/CFlash_ctrl.h"
#include "ui/DialogLayout.h"
#include "ui/MovieListModel.h"
#include "ui/PopOutPlayer.h"
#include "ui/Shell.h"

namespace pellimor {

struct DialogServices {
    ListingServices& listing;
    FileOps& files;
    Registry& registry;
    Prompts& prompts;
    Shell& shell;
    std::string defaultSaveFolder;
};

class CMovieDlg : public QDialog {
    Q_OBJECT
  public:
    // font: the dialog font the layout is measured from; the application's when empty.
    CMovieDlg(DialogServices services, std::string initialSite, const QFont& font = QFont());

    // The control with this id (the first label for -1), or nothing.
    QWidget* Control(int id) const;
    const ListingState& listing() const { return m_listing; }
    int GetSelItems();  // fills m_selection, at most 1,000 line indices in ascending order
    const std::array<std::int32_t, kSelectionCapacity>& selection() const { return m_selection; }

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
    // The open pop-out player, or null.
    PopOutPlayer* popOut() const { return m_popOut; }

  private:
    void BuildControls(const QFont& font);
    void ConnectMessageMap();
    bool OnInitDialog();
    std::vector<std::int32_t> SelectedKeys();
    SaveServices SaveServicesNow();
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
    bool m_filling = false;           // a refill is not a selection change by the user
    QPointer<PopOutPlayer> m_popOut;  // gone when its window is closed
};

}  // namespace pellimor
