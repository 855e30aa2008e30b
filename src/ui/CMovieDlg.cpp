#include "ui/CMovieDlg.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QFileInfo>
#include <QFrame>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMessageBox>
#include <QShortcut>

#include <algorithm>
#include <iostream>

#include "catalogue/MovieSaves.h"
#include "catalogue/SwfFactsSummary.h"
#include "files/DeleteAction.h"
#include "files/ExportGame.h"
#include "files/SaveFiles.h"
#include "files/SettingsStore.h"
#include "platform/compression/SwfDecompressor.h"
#include "platform/fileops/ExportFolderPosix.h"
#include "resources/Strings.h"
#include "ui/AppIcon.h"
#include "ui/MovieShot.h"
#include "ui/QtText.h"

namespace pellimor {

namespace {

class WaitCursor {
  public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

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

constexpr int kTransientMs = 5000;  // how long a transient note stays

}  // namespace

std::string CacheProblem(const std::optional<std::string>& folder, bool indexFound,
                         const std::vector<std::string>& unusable) {
    const std::string option(strings::kGiveCacheOption);
    if (!folder) {
        return std::string(strings::kNoCacheFound) + "\n" + option;
    }
    if (indexFound) {
        return {};
    }
    const QFileInfo info(QString::fromStdString(*folder));
    std::string what;
    if (!info.exists()) {
        what = strings::kFolderMissing;
    } else if (!info.isDir()) {
        what = strings::kFolderIsFile;
    } else if (!unusable.empty()) {
        for (const std::string& problem : unusable) {
            what += (what.empty() ? "" : "; ") + problem;
        }
    } else {
        what = strings::kNoIndexThere;
    }
    return "No cache at " + *folder + ": " + what + "\n" + option;
}

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

void CMovieDlg::BuildControls(const QFont& font) {
    setFont(font);
    const BaseUnits base = MeasureBaseUnits(font);
    setFixedSize(ToPixels(base, kDialogSizeDu));
    QWidget* previousTabStop = nullptr;
    for (const ControlSpec& spec : kControls) {
        QWidget* widget = nullptr;
        bool tabStop = true;
        switch (spec.kind) {
            case ControlKind::kButton:
            case ControlKind::kDefaultButton: {
                auto* button = new QPushButton(Q(spec.caption), this);
                button->setAutoDefault(false);
                button->setDefault(spec.kind == ControlKind::kDefaultButton);
                if (spec.id == kIdClose) {
                    connect(button, &QPushButton::clicked, this, &QDialog::accept);
                }
                widget = button;
                break;
            }
            case ControlKind::kReadOnlyEdit: {
                auto* edit = new QLineEdit(this);
                edit->setReadOnly(true);
                edit->setFrame(false);
                widget = edit;
                break;
            }
            case ControlKind::kListBox: {
                m_lbMovies = new QListView(this);
                m_model = new MovieListModel(m_lbMovies);
                m_lbMovies->setModel(m_model);
                m_lbMovies->setSelectionMode(QAbstractItemView::ExtendedSelection);
                m_lbMovies->setEditTriggers(QAbstractItemView::NoEditTriggers);
                m_lbMovies->setUniformItemSizes(true);
                m_lbMovies->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
                m_lbMovies->setFocusPolicy(Qt::ClickFocus);  // not a tab stop
                tabStop = false;
                widget = m_lbMovies;
                break;
            }
            case ControlKind::kLabel:
                widget = new QLabel(Q(spec.caption), this);
                tabStop = false;
                break;
            case ControlKind::kPlayer:
                m_flash =
                    new CFlash_ctrl(&m_services.listing.cache, &m_services.listing.files, this);
                m_flash->setFocusPolicy(Qt::TabFocus);
                m_flash->SetSaves(m_services.saves);
                connect(m_flash, &CFlash_ctrl::pageEvent, this, &CMovieDlg::OnPlayerEvent);
                widget = m_flash;
                break;
            case ControlKind::kFrame: {
                auto* frame = new QFrame(this);
                frame->setFrameStyle(QFrame::Box | QFrame::Plain);
                frame->setLineWidth(1);
                QPalette palette = frame->palette();
                palette.setColor(QPalette::WindowText, Qt::black);
                frame->setPalette(palette);
                tabStop = false;
                widget = frame;
                break;
            }
            case ControlKind::kDropDown:
                m_cbSites = new QComboBox(this);
                m_cbSites->setEditable(false);
                m_cbSites->setMaxVisibleItems(
                    std::max(1, ToPixels(base, spec.x, spec.y, spec.w, spec.h).height() /
                                    m_cbSites->fontMetrics().height()));
                widget = m_cbSites;
                break;
        }
        widget->setProperty("ctrlId", spec.id);
        widget->setToolTip(Q(spec.tooltip));
        QRect rect = ToPixels(base, spec.x, spec.y, spec.w, spec.h);
        if (spec.kind == ControlKind::kDropDown) {
            rect.setHeight(widget->sizeHint().height());  // the height given includes the list
        }
        widget->setGeometry(rect);
        if (tabStop) {
            if (previousTabStop != nullptr) {
                QWidget::setTabOrder(previousTabStop, widget);
            }
            previousTabStop = widget;
        }
        m_controls.emplace_back(spec.id, widget);
        m_tabStops.push_back(tabStop);
    }
    // Over the foot of the preview's frame: a few seconds' word on what was done.
    m_transient = new QLabel(this);
    m_transient->setObjectName(QStringLiteral("transientNote"));
    m_transient->setWordWrap(true);
    m_transient->setMargin(4);
    m_transient->setAutoFillBackground(true);
    m_transient->setFrameStyle(QFrame::Box | QFrame::Plain);
    QPalette palette = m_transient->palette();
    palette.setColor(QPalette::Window, QColor(0xff, 0xff, 0xe1));  // the colour of tooltips
    palette.setColor(QPalette::WindowText, Qt::black);
    m_transient->setPalette(palette);
    m_transient->hide();
    // The first control of the template is the topmost.
    for (auto it = m_controls.rbegin(); it != m_controls.rend(); ++it) {
        it->second->raise();
    }
}

QWidget* CMovieDlg::Control(int id) const {
    for (const auto& [controlId, widget] : m_controls) {
        if (controlId == id) {
            return widget;
        }
    }
    return nullptr;
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
    const std::string folderPath = GetSavePath(m_services.registry, m_services.defaultSaveFolder);
    m_flash->ReadPlayedSaves(
        [this, folderPath](std::vector<std::pair<std::string, std::string>> played) {
            if (played.empty()) {
                m_services.prompts.ShowError("The game playing has saved nothing yet.");
                return;
            }
            auto folder = ExportFolderPosix::Open(folderPath);
            if (!folder) {
                m_services.prompts.ShowError(folder.error());
                return;
            }
            std::string problems;
            int written = 0;
            for (const WrittenSave& save : WritePlayedSaves(played, **folder)) {
                if (save.error.empty()) {
                    ++written;
                } else {
                    problems += save.name + ": " + save.error + "\n";
                }
            }
            if (!problems.empty()) {
                m_services.prompts.ShowError(problems);
            }
            ShowTransient(QStringLiteral("%1 saves written to %2")
                              .arg(written)
                              .arg(QString::fromStdString(folderPath)));
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
    m_listing.site = m_strInitialSite;
    m_listing.sizesWhenShown = true;
    ScanCache(m_listing, m_services.listing);
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

void CMovieDlg::ShowCacheNote() {
    // Only where the empty list would puzzle: listed movies say enough themselves.
    std::string note;
    if (m_listing.catalogue.IsEmpty()) {
        if (!m_services.cacheProblem.empty()) {
            note = m_services.cacheProblem;
        } else if (!m_listing.cacheError.empty()) {
            note = m_listing.cacheError + "\n" + std::string(strings::kGiveCacheOption);
        }
    }
    const QString text = Q(note);
    if (text != m_cacheNote && !note.empty()) {
        std::cerr << "pellimor: " << note << "\n";
    }
    m_cacheNote = text;
    m_flash->ShowNotice(m_cacheNote);
    // A cache read only in part (a database Windows did not close ...): the movies listed
    // stand, and the list says what may be missing from it, without covering the player.
    const std::string partial =
        m_listing.catalogue.IsEmpty() ? std::string() : m_listing.cacheError;
    const QString tip = partial.empty()
                            ? Q(strings::kMoviesTip)
                            : Q(strings::kMoviesTip) + QStringLiteral("\n\n") + Q(partial);
    if (tip != m_lbMovies->toolTip() && !partial.empty()) {
        std::cerr << "pellimor: " << partial << "\n";
    }
    m_lbMovies->setToolTip(tip);
}

QWidget* CMovieDlg::NextTabStop(int from, bool next) const {
    const int count = static_cast<int>(m_controls.size());
    for (int step = 1; step <= count; ++step) {
        int i = (from < 0 ? (next ? -1 : count) : from) + (next ? step : -step);
        i = ((i % count) + count) % count;
        QWidget* widget = m_controls[static_cast<std::size_t>(i)].second;
        if (m_tabStops[static_cast<std::size_t>(i)] && widget->isEnabled() && !widget->isHidden()) {
            return widget;
        }
    }
    return nullptr;
}

bool CMovieDlg::focusNextPrevChild(bool next) {
    // The focus may sit deep inside a control (the player's page): find the control.
    QWidget* focus = QApplication::focusWidget();
    int at = -1;
    for (std::size_t i = 0; i < m_controls.size() && focus != nullptr; ++i) {
        QWidget* control = m_controls[i].second;
        if (control == focus || control->isAncestorOf(focus)) {
            at = static_cast<int>(i);
        }
    }
    QWidget* target = NextTabStop(at, next);
    if (target == nullptr) {
        return false;
    }
    target->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

QString CMovieDlg::transientNote() const {
    return m_transient->isHidden() ? QString() : m_transient->text();
}

void CMovieDlg::ShowTransient(const QString& text) {
    const QRect frame = Control(kIdFrame)->geometry().adjusted(1, 1, -1, -1);
    m_transient->setText(text);
    const int width = frame.width() - 16;
    const int height = m_transient->heightForWidth(width);
    m_transient->setGeometry(frame.left() + 8, frame.bottom() - 8 - height, width, height);
    m_transient->show();
    m_transient->raise();
    m_transientTimer.start(kTransientMs);
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

void CMovieDlg::ShowEntryDetails(std::int32_t key) {
    const SwfEntry entry =
        ShownSize(m_listing.catalogue.GetEntryByKey(key), m_services.listing.files);
    if (entry.key == 0) {
        return;
    }
    m_flash->SetMovie(QString::fromStdString(entry.localPath), QString::fromStdString(entry.url),
                      entry.id);
    m_shownFacts = MovieFactsText(entry);
    m_playedMissing.clear();
    ShowDetailsTip();
    static_cast<QLineEdit*>(Control(kIdAddress))->setText(QString::fromStdString(entry.url));
    static_cast<QLineEdit*>(Control(kIdSize))->setText(QString::fromStdString(entry.sizeText));
    static_cast<QLineEdit*>(Control(kIdModified))
        ->setText(QString::fromStdString(entry.lastModified));
}

CMovieDlg::~CMovieDlg() {
    if (m_flash != nullptr) {
        m_flash->disconnect(this);
    }
}

std::string CMovieDlg::MovieFactsText(const SwfEntry& entry) {
    // Which browser's cache holds it, and what the movie says about itself, where the user
    // can see it without another control.
    std::string text;
    if (!entry.source.empty()) {
        text += "Kaynak (source): " + entry.source + "\n";
    }
    if (!entry.unreadable.empty()) {
        return text + entry.unreadable;
    }
    // A tooltip's facts are read from the first part of a movie at most.
    constexpr std::uint64_t kFactsReadLimit = 64ULL << 20;
    std::optional<std::string> bytes;
    std::string error;
    if (!entry.localPath.empty()) {
        if (Result<std::string> read =
                m_services.listing.files.ReadFile(entry.localPath, kFactsReadLimit);
            read) {
            bytes = std::move(read).value();
        } else {
            error = read.error();
        }
    } else if (Result<CacheBody> body =
                   m_services.listing.cache.ReadBody(entry.id, kFactsReadLimit);
               body.ok()) {
        bytes = std::move(body->bytes);
    } else {
        error = body.error();
    }
    if (!bytes) {
        return text + error;
    }
    SwfDecompressor decompressor;
    return text + FactsSummary(ReadSwfFacts(*bytes, decompressor));
}

void CMovieDlg::ShowDetailsTip() {
    QString tip = Q(strings::kAddressTip) + QLatin1Char('\n') + Q(m_shownFacts);
    if (const auto& page = m_flash->moviePage()) {
        tip += QLatin1Char('\n') + Q(MoviePageText(*page)).trimmed();  // what it plays with
    }
    if (!m_flash->movieSaves().empty()) {
        // Flash Player's saves of this movie, which the preview starts it with.
        tip += QStringLiteral("\n%1 saves:").arg(m_flash->movieSaves().size());
        for (const std::size_t i : m_flash->movieSaves()) {
            const FoundSave& save = (*m_services.saves)[i];
            tip += QStringLiteral("\n  ") + Q(save.name) + QStringLiteral("  (") +
                   Q(SavePathText(save)) + QLatin1Char(')');
        }
    }
    if (!m_playedMissing.empty()) {
        // What the movie asked for while it played that the cache does not hold.
        tip += QStringLiteral("\n%1 missing:").arg(m_playedMissing.size());
        for (const QString& address : m_playedMissing) {
            tip += QStringLiteral("\n  ") + address;
        }
    }
    Control(kIdAddress)->setToolTip(tip);
}

void CMovieDlg::OnPlayerEvent(const QString& name, int load, const QUrlQuery& fields) {
    if (name != QStringLiteral("missing") || load != m_flash->currentLoad()) {
        return;
    }
    const QString address = fields.queryItemValue(QStringLiteral("url"), QUrl::FullyDecoded);
    if (!address.isEmpty() && m_playedMissing.insert(address).second) {
        ShowDetailsTip();
    }
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
    const DeleteOutcome outcome =
        pellimor::OnDelete(m_listing, SelectedKeys(), m_services.listing, m_services.prompts);
    if (!outcome.confirmed) {
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

void CMovieDlg::OnExportGames() {
    const std::vector<std::int32_t> keys = SelectedKeys();
    if (keys.empty()) {
        return;
    }
    const std::string start = GetSavePath(m_services.registry, m_services.defaultSaveFolder);
    const auto chosen =
        m_services.prompts.BrowseForFolder(std::string(strings::kExportGame), start.substr(0, 259));
    if (!chosen || chosen->empty()) {
        return;
    }
    auto folder = ExportFolderPosix::Open(*chosen);
    if (!folder.ok()) {
        m_services.prompts.ShowError(folder.error());
        return;
    }
    ExportIndex index;
    // A cache read in part still exports what it holds.
    (void)index.Build(m_services.listing.cache, m_services.listing.files);
    SwfDecompressor decompressor;
    ExportServices services{m_services.listing.cache, m_services.listing.files, decompressor,
                            **folder, m_services.saves};
    std::set<std::string> names;
    int exported = 0;
    std::string problems;
    QStringList notReadyGames;
    std::string notReady;
    CurationChoices choices;  // what was given last is offered for the next game
    choices.tagsGiven = choices.languageGiven = "in the window";
    std::string language;
    for (const std::int32_t key : keys) {
        const SwfEntry entry = m_listing.catalogue.GetEntryByKey(key);
        if (entry.key == 0) {
            continue;
        }
        const QString shown = Q(entry.displayName);
        const auto tags =
            m_services.prompts.AskText(Q(strings::kAskTags).arg(shown).toStdString(), choices.tags);
        if (!tags) {
            break;  // cancelled: no more games
        }
        choices.tags = *tags;
        choices.language.clear();
        if (!LanguagesInCache(entry, index, services)) {
            const auto given = m_services.prompts.AskText(
                Q(strings::kAskLanguage).arg(shown).toStdString(), language);
            if (!given) {
                break;
            }
            language = choices.language = *given;
        }
        const std::string name = GameFolderName(entry.displayName, names);
        Result<GameExport> done = ExportGame(entry, name, index, services, choices);
        if (!done.ok()) {
            problems += entry.displayName + ": " + done.error() + "\n";
            continue;
        }
        ++exported;
        // The window waits while the movie plays for its pictures (no dialog asks meanwhile).
        const WaitCursor wait;
        setEnabled(false);
        const auto shots = ShootMovie({Q(entry.localPath), Q(entry.url), entry.id,
                                       QSize(done->stageWidth > 0 ? done->stageWidth : 550,
                                             done->stageHeight > 0 ? done->stageHeight : 400)},
                                      &m_services.listing.cache, &m_services.listing.files,
                                      m_flash->addresses(), m_flash->pages());
        setEnabled(true);
        if (shots) {
            PutCurationPictures(
                **folder, *done, std::string_view(shots->logo.constData(), shots->logo.size()),
                std::string_view(shots->screenshot.constData(), shots->screenshot.size()));
        } else {
            done->notReady.push_back("no logo.png or ss.png: " + shots.error());
        }
        if (!done->notReady.empty()) {
            notReadyGames.append(Q(done->folder));
        }
        for (const std::string& why : done->notReady) {
            notReady += done->folder + ": " + why + "\n";
        }
    }
    if (!problems.empty()) {
        m_services.prompts.ShowError(problems);
    }
    if (!notReady.empty()) {
        m_services.prompts.ShowErrorDetails(
            Q(strings::kNotReady).arg(notReadyGames.join(QStringLiteral(", "))).toStdString(),
            notReady);
    }
    ShowTransient(QStringLiteral("%1 → %2").arg(exported).arg(Q(*chosen)));
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

SaveServices CMovieDlg::SaveServicesNow() {
    return {m_services.files,
            m_services.registry,
            m_services.prompts,
            m_services.defaultSaveFolder,
            "",
            &m_services.listing.cache};
}

void CMovieDlg::OnSave() {
    SaveServices save = SaveServicesNow();
    ReportSaved(pellimor::OnSave(m_listing.catalogue, SelectedKeys(), save));
}

void CMovieDlg::OnSaveAs() {
    SaveServices save = SaveServicesNow();
    ReportSaved(pellimor::OnSaveAs(m_listing.catalogue, SelectedKeys(), save));
}

void CMovieDlg::OnSaveAll() {
    SaveServices save = SaveServicesNow();
    ReportSaved(pellimor::OnSaveAll(m_listing.catalogue, save));
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
