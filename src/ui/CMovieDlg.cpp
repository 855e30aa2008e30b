#include "ui/CMovieDlg.h"

#include <QAction>
#include <QApplication>
#include <QItemSelectionModel>
#include <QMessageBox>
#include <QShortcut>

#include <algorithm>
#include <iostream>

#include "files/SettingsStore.h"
#include "operations/DeleteMovies.h"
#include "operations/OpenCache.h"
#include "operations/PlayedSaves.h"
#include "operations/SaveMovies.h"
#include "resources/Strings.h"
#include "ui/AppIcon.h"
#include "ui/QtText.h"
#include "ui/WaitCursor.h"

namespace pellimor {

namespace {

enum class Notification { kClicked, kSelChange };

struct MessageMapEntry {
    int id;
    Notification code;
    void (CMovieDlg::*handler)();
};

// The message map: which control's notification runs which handler.
constexpr MessageMapEntry kMessageMap[] = {
    {kIdOpenMovie, Notification::kClicked, &CMovieDlg::OnOpenMovie},
    {kIdMovies, Notification::kSelChange, &CMovieDlg::OnSelChangeMovies},
    {kIdRefresh, Notification::kClicked, &CMovieDlg::OnRefresh},
    {kIdDelete, Notification::kClicked, &CMovieDlg::OnDelete},
    {kIdChooseFolder, Notification::kClicked, &CMovieDlg::OnChooseFolder},
    {kIdOpenFolder, Notification::kClicked, &CMovieDlg::OnOpenFolder},
    {kIdSaveAs, Notification::kClicked, &CMovieDlg::OnSaveAs},
    {kIdSave, Notification::kClicked, &CMovieDlg::OnSave},
    {kIdSaveAll, Notification::kClicked, &CMovieDlg::OnSaveAll},
    {kIdSites, Notification::kSelChange, &CMovieDlg::OnSiteChanged},
};

}  // namespace

CMovieDlg::CMovieDlg(DialogServices services, std::string initialSite, const QFont& font)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                           Qt::MSWindowsFixedSizeDialogHint),
      m_services(services),
      m_strInitialSite(std::move(initialSite)) {
    const std::optional<std::string> folder = m_services.listing.cacheFolder();
    setWindowTitle(Q(strings::kAppName) + QStringLiteral(" \u2014 ") +
                   (folder ? QString::fromStdString(*folder) : Q(strings::kNoCacheCaption)));
    setWindowIcon(MakeAppIcon());
    BuildControls(PickDialogFont(font.family().isEmpty() ? QApplication::font() : font, *style()));
    ConnectMessageMap();
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, &CMovieDlg::ShowHelp);
    m_transientTimer.setSingleShot(true);
    connect(&m_transientTimer, &QTimer::timeout, m_transient, &QWidget::hide);
    OnInitDialog();
    // The first enabled control with a tab stop, in template order, has the focus.
    if (QWidget* first = NextTabStop(-1, true)) {
        first->setFocus(Qt::TabFocusReason);
    }
}

CMovieDlg::~CMovieDlg() {
    if (m_flash != nullptr) {
        m_flash->disconnect(this);
    }
}

void CMovieDlg::ConnectMessageMap() {
    for (const MessageMapEntry& entry : kMessageMap) {
        QWidget* control = Control(entry.id);
        const auto handler = entry.handler;
        if (auto* button = qobject_cast<QPushButton*>(control)) {
            connect(button, &QPushButton::clicked, this, [this, handler] { (this->*handler)(); });
        } else if (auto* list = qobject_cast<QListView*>(control)) {
            connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                    [this, handler] {
                        if (!m_filling) {
                            (this->*handler)();
                        }
                    });
        } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
            connect(combo, &QComboBox::activated, this, [this, handler] { (this->*handler)(); });
        }
    }
    // The bigger player: a double-click on a line, or the list's context menu.
    connect(m_lbMovies, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { PlayInWindow(index.row()); });
    auto* playInWindow = new QAction(Q(strings::kPlayInWindow), m_lbMovies);
    playInWindow->setToolTip(Q(strings::kPlayInWindowTip));
    connect(playInWindow, &QAction::triggered, this,
            [this] { PlayInWindow(m_lbMovies->currentIndex().row()); });
    m_lbMovies->addAction(playInWindow);
    auto* exportGame = new QAction(Q(strings::kExportGame), m_lbMovies);
    exportGame->setToolTip(Q(strings::kExportGameTip));
    connect(exportGame, &QAction::triggered, this, &CMovieDlg::OnExportGames);
    m_lbMovies->addAction(exportGame);
    auto* writeSaves = new QAction(Q(strings::kWritePlayedSaves), m_lbMovies);
    writeSaves->setToolTip(Q(strings::kWritePlayedSavesTip));
    connect(writeSaves, &QAction::triggered, this, &CMovieDlg::OnWritePlayedSaves);
    m_lbMovies->addAction(writeSaves);
    m_lbMovies->setContextMenuPolicy(Qt::ActionsContextMenu);
}

void CMovieDlg::OnWritePlayedSaves() {
    m_flash->ReadPlayedSaves([this](std::vector<std::pair<std::string, std::string>> played) {
        OperationServices operations = Operations();
        const Result<PlayedSavesWritten> done = WriteSavesPlayed(played, operations);
        if (!done) {
            m_services.prompts.ShowError(done.error());
            return;
        }
        if (!done->problems.empty()) {
            m_services.prompts.ShowError(done->problems);
        }
        ShowTransient(QStringLiteral("%1 saves written to %2")
                          .arg(done->written)
                          .arg(QString::fromStdString(done->folder)));
    });
}

void CMovieDlg::PlayInWindow(int row) {
    if (row < 0 || row >= m_model->rowCount()) {
        return;
    }
    const SwfEntry entry = m_listing.catalogue.GetEntryByKey(m_model->KeyAt(row));
    if (entry.key == 0) {
        return;
    }
    if (m_popOut == nullptr) {
        m_popOut = new PopOutPlayer(&m_services.listing.cache, &m_services.listing.files, this,
                                    m_flash->addresses(), m_flash->pages());
        // The preview waits while the pop-out plays: its sound would be heard twice.
        connect(m_popOut, &PopOutPlayer::closed, this, [this] { m_flash->SetPaused(false); });
        m_popOut->player()->SetSaves(m_services.saves);
    }
    m_flash->SetPaused(true);
    m_popOut->Play(
        QString::fromStdString(entry.localPath), QString::fromStdString(entry.url),
        QString::fromStdString(entry.displayName) + QStringLiteral(" — ") + Q(strings::kAppName),
        entry.id);
    m_popOut->show();
    m_popOut->raise();
    m_popOut->activateWindow();
}

bool CMovieDlg::OnInitDialog() {
    m_flash->setGeometry(Control(kIdFrame)->geometry().adjusted(1, 1, -1, -1));
    // A cache that could not be read at all says so in the preview's place.
    (void)OpenCache(m_listing, m_services.listing, OpenChoice{m_strInitialSite, false, true});
    ApplyListing();
    UpdateButtons();
    return true;
}

void CMovieDlg::ApplyListing() {
    m_flash->CacheChanged();  // every listing follows a scan: the players read the cache anew
    m_filling = true;
    m_cbSites->clear();
    for (const std::string& item : m_listing.siteItems) {
        m_cbSites->addItem(QString::fromStdString(item));
    }
    m_cbSites->setCurrentIndex(m_listing.selectedSite);
    m_model->SetLines(m_listing.movieLines);
    m_lbMovies->selectionModel()->clearSelection();
    if (m_listing.selectedMovie >= 0) {
        const QModelIndex first = m_model->index(m_listing.selectedMovie);
        m_lbMovies->selectionModel()->select(first, QItemSelectionModel::ClearAndSelect);
        m_lbMovies->selectionModel()->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
    }
    m_filling = false;
    if (m_listing.shownKey > 0) {
        ShowEntryDetails(m_listing.shownKey);
    }
    CheckDeletable();
    ShowCacheNote();
}

void CMovieDlg::ReportSaved(const SaveOutcome& outcome) {
    if (outcome.savedTo.empty()) {
        return;
    }
    const auto folderOf = [](const std::string& path) { return path.substr(0, path.rfind('/')); };
    const std::string folder = folderOf(outcome.savedTo.back());
    bool oneFolder = true;
    for (const std::string& path : outcome.savedTo) {
        oneFolder = oneFolder && folderOf(path) == folder;
    }
    const std::size_t count = outcome.savedTo.size();
    const QString what =
        count == 1 ? QStringLiteral("1 movie saved") : QStringLiteral("%1 movies saved").arg(count);
    ShowTransient(what + (oneFolder ? QStringLiteral(" in ") : QStringLiteral(", the last in ")) +
                  QString::fromStdString(folder));
}

void CMovieDlg::OpenWithShell(const std::string& path) {
    if (!m_services.shell.Open(path)) {
        const QString text = Q(strings::kNoProgramToOpen) + QLatin1Char(' ') + Q(path);
        std::cerr << "pellimor: " << text.toStdString() << "\n";
        ShowTransient(text);
    }
}

void CMovieDlg::CheckDeletable() {
    const Status can = m_services.listing.cache.CanDelete();
    m_strReadOnly = can.ok() ? std::string() : can.error();
    ShowDeleteReason(m_strReadOnly);
}

int CMovieDlg::GetSelItems() {
    QList<int> rows;
    for (const QModelIndex& index : m_lbMovies->selectionModel()->selectedIndexes()) {
        rows.push_back(index.row());
    }
    std::sort(rows.begin(), rows.end());
    m_selectionCount = static_cast<int>(std::min<qsizetype>(rows.size(), kSelectionCapacity));
    std::copy_n(rows.begin(), m_selectionCount, m_selection.begin());
    return m_selectionCount;
}

std::vector<std::int32_t> CMovieDlg::SelectedKeys() {
    const int count = GetSelItems();
    std::vector<std::int32_t> keys;
    keys.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        keys.push_back(m_model->KeyAt(m_selection[static_cast<std::size_t>(i)]));
    }
    return keys;
}

void CMovieDlg::ShowDeleteReason(const std::string& reason) {
    // While the lines chosen cannot be deleted, the tooltip says why instead.
    Control(kIdDelete)->setToolTip(reason.empty() ? Q(strings::kDeleteTip)
                                                  : QStringLiteral("Cannot delete: ") + Q(reason));
}

std::string CMovieDlg::SelectionReadOnlyReason() {
    if (!m_strReadOnly.empty()) {
        return m_strReadOnly;
    }
    // Some caches are read only (Chrome's block files, Firefox's old cache): their lines
    // cannot be deleted even where the others can.
    for (const std::int32_t key : SelectedKeys()) {
        const SwfEntry entry = m_listing.catalogue.GetEntryByKey(key);
        if (entry.key == 0 || entry.IsLeftover()) {
            continue;
        }
        if (const Status can = m_services.listing.cache.CanDeleteEntry(entry.id); !can.ok()) {
            return can.error();
        }
    }
    return {};
}

void CMovieDlg::UpdateButtons() {
    const int count = GetSelItems();
    for (const int id : {kIdSaveAs, kIdSave}) {
        Control(id)->setEnabled(count > 0);
    }
    const std::string readOnly = count > 0 ? SelectionReadOnlyReason() : m_strReadOnly;
    ShowDeleteReason(readOnly);
    Control(kIdDelete)->setEnabled(count > 0 && readOnly.empty());
    Control(kIdSaveAll)->setEnabled(!m_listing.catalogue.IsEmpty());
    Control(kIdOpenMovie)->setEnabled(count == 1);
}

void CMovieDlg::OnSelChangeMovies() {
    if (GetSelItems() == 1) {
        const std::int32_t key = m_model->KeyAt(m_selection[0]);
        if (key > 0) {
            ShowEntryDetails(key);
        }
    }
    UpdateButtons();
}

void CMovieDlg::OnSiteChanged() {
    const int index = m_cbSites->currentIndex();
    if (index < 0) {
        return;
    }
    const bool leftovers = m_cbSites->itemText(index) == Q(strings::Load(strings::kLeftoverFiles));
    {
        std::optional<WaitCursor> wait;
        if (leftovers) {
            wait.emplace();
        }
        pellimor::OnSiteChanged(m_listing, index, m_services.listing);
    }
    ApplyListing();
    UpdateButtons();
}

void CMovieDlg::OnRefresh() {
    {
        std::optional<WaitCursor> wait;
        if (m_listing.site == strings::Load(strings::kLeftoverFiles)) {
            wait.emplace();
        }
        pellimor::OnRefresh(m_listing, m_services.listing);
    }
    ApplyListing();
    UpdateButtons();
}

void CMovieDlg::OnDelete() {
    // The question is modal, so the selection read now is the one the user confirms.
    OperationServices operations = Operations();
    const Result<DeleteOutcome> outcome =
        DeleteMovies(m_listing, SelectedKeys(), operations, m_services.prompts);
    if (!outcome || !outcome->confirmed) {
        return;  // No: nothing deleted, nothing listed again
    }
    ApplyListing();
    UpdateButtons();
}

void CMovieDlg::OnChooseFolder() {
    const std::string folder = GetSavePath(m_services.registry, m_services.defaultSaveFolder);
    const auto chosen = m_services.prompts.BrowseForFolder(
        std::string(strings::Load(strings::kFolderBrowserTitle)), folder.substr(0, 259));
    if (chosen && !chosen->empty()) {
        // A folder that could not be stored would quietly not be the one saved into.
        const SettingOutcome stored = SetSavePath(m_services.registry, *chosen);
        if (!stored.ok()) {
            m_services.prompts.ShowError("the save folder was not stored: " + stored.problem);
        }
    }
}

void CMovieDlg::OnOpenFolder() {
    OpenWithShell(GetSavePath(m_services.registry, m_services.defaultSaveFolder));
}

void CMovieDlg::OnOpenMovie() {
    if (GetSelItems() != 1) {
        return;
    }
    const std::int32_t key = m_model->KeyAt(m_selection[0]);
    if (key < 1) {
        return;
    }
    const SwfEntry entry = m_listing.catalogue.GetEntryByKey(key);
    if (!entry.localPath.empty()) {
        OpenWithShell(entry.localPath);
    }
}

OperationServices CMovieDlg::Operations() {
    return {m_services.listing,       m_services.registry,          m_services.decompressor,
            m_services.exportFolders, m_services.defaultSaveFolder, m_services.saves};
}

void CMovieDlg::Save(const SaveChoice& choice) {
    OperationServices operations = Operations();
    ReportSaved(SaveMovies(m_listing.catalogue, choice, operations, m_services.prompts));
}

void CMovieDlg::OnSave() {
    Save({SaveChoice::Kind::kSave, SelectedKeys(), ""});
}

void CMovieDlg::OnSaveAs() {
    Save({SaveChoice::Kind::kSaveAs, SelectedKeys(), ""});
}

void CMovieDlg::OnSaveAll() {
    Save({SaveChoice::Kind::kSaveAll, std::nullopt, ""});
}

void CMovieDlg::ShowHelp() {
    QMessageBox::information(
        this, Q(strings::kAppName),
        QStringLiteral(
            "Pellimor lists the Flash movies of a browser's URL cache by site, plays the "
            "selected one, saves copies under names that never overwrite a file, and "
            "deletes movies from the cache.\n\n"
            "Options: /site:HOST starts on a site; --cache DIR names the cache folder; "
            "--codepage N the code page of its names (1252); --read-only changes nothing "
            "in the cache.\n\n"
            "The save folder is kept in ~/.config/Tavrik/hkcu.reg."));
}

}  // namespace pellimor
