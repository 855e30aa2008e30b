#include "ui/CFlash_ctrl.h"

#include <QChildEvent>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QPalette>

#include <iostream>

#include "catalogue/MovieSaves.h"
#include "resources/Strings.h"
#include "ui/FlashInitialProperties.h"
#include "ui/QtText.h"

#if PELLIMOR_HAVE_WEBENGINE
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include "ui/player/MovieFiles.h"
#include "ui/player/PlayerPage.h"
#include "ui/player/PlayerScheme.h"
#include "ui/player/RequestGuard.h"
#endif

namespace pellimor {

namespace {

// The stored initial properties; their own values when the resource does not parse.
FlashInitialProperties ReadInitialProperties() {
    QFile resource(QStringLiteral(":/player/flash-initial-properties.bin"));
    const QByteArray bytes = resource.open(QIODevice::ReadOnly) ? resource.readAll() : QByteArray();
    std::string warning;
    const auto properties = InitialPropertiesOrDefaults(
        std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                  static_cast<std::size_t>(bytes.size())),
        warning);
    if (!warning.empty()) {
        std::cerr << "pellimor: " << warning << "\n";
    }
    return properties;
}

#if PELLIMOR_HAVE_WEBENGINE
// The options for Ruffle; asked for the player's log, what movies trace too (Ruffle logs it
// as information).
QByteArray OptionsJson(const RuffleOptions& options) {
    QByteArray json = QByteArray::fromStdString(ToJson(options));
    if (qEnvironmentVariableIsSet("PELLIMOR_PLAYER_LOG") && json.startsWith('{')) {
        json.insert(1, json.size() > 2 ? "\"logLevel\":\"info\"," : "\"logLevel\":\"info\"");
    }
    return json;
}

// The largest rectangle of size's proportions inside area, centred in it; area itself for
// an empty size.
QRect FitCentred(QSize size, const QRect& area) {
    if (size.isEmpty() || area.isEmpty()) {
        return area;
    }
    const QSize fitted = size.scaled(area.size(), Qt::KeepAspectRatio);
    QRect rect(QPoint(0, 0), QSize(std::max(1, fitted.width()), std::max(1, fitted.height())));
    rect.moveCenter(area.center());
    return rect;
}
#endif

}  // namespace

#if PELLIMOR_HAVE_WEBENGINE

struct CFlash_ctrl::Player {
    Player(CacheSource* cache, FileOps* fileOps, std::shared_ptr<SharedAddressBook> addresses,
           const QString& ruffle, const RuffleOptions& options, CFlash_ctrl* owner)
        : files(cache, fileOps, std::move(addresses)),
          profile(new QWebEngineProfile(owner)),  // off the record: nothing kept on disk
          guard(new RequestGuard(profile)),
          handler(new PlayerSchemeHandler(ruffle, OptionsJson(options), files, profile)),
          view(new QWebEngineView(owner)),
          page(new PlayerPage(profile, view)) {
        profile->setUrlRequestInterceptor(guard);
        profile->installUrlSchemeHandler(kPlayerScheme, handler);
        profile->setHttpCacheType(QWebEngineProfile::NoCache);
        QWebEngineSettings* settings = page->settings();
        settings->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);
        settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
        settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
        settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
        settings->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
        settings->setAttribute(QWebEngineSettings::ShowScrollBars, false);
        settings->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, false);
        const QString colour = QString::fromStdString(options.backgroundColor);
        page->setBackgroundColor(colour.isEmpty() ? QColor(Qt::white) : QColor(colour));
        view->setContextMenuPolicy(Qt::NoContextMenu);  // Ruffle's own menu stays
        view->setPage(page);
    }
    ~Player() {
        // A page must go before its profile.
        delete view;
        delete profile;
    }

    MovieFiles files;
    QWebEngineProfile* profile;
    RequestGuard* guard;
    PlayerSchemeHandler* handler;
    QWebEngineView* view;
    PlayerPage* page;
    bool ready = false;
    int restarts = 0;
};

#else

struct CFlash_ctrl::Player {};

#endif

CFlash_ctrl::CFlash_ctrl(CacheSource* cache, FileOps* files, QWidget* parent,
                         std::shared_ptr<SharedAddressBook> addresses,
                         std::shared_ptr<SharedMoviePages> pages)
    : QWidget(parent),
      options_(ToRuffleOptions(ReadInitialProperties())),
      addresses_(addresses ? std::move(addresses) : std::make_shared<SharedAddressBook>(cache)),
      pages_(pages ? std::move(pages) : std::make_shared<SharedMoviePages>(cache, files)),
      note_(new QLabel(this)) {
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);  // the player's stored background colour
    setPalette(palette);
    note_->setAlignment(Qt::AlignCenter);
    note_->setWordWrap(true);
    note_->setMargin(12);
    note_->setAutoFillBackground(true);  // covers whatever the player shows beneath
    note_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    note_->hide();
    if (qEnvironmentVariable("PELLIMOR_PREVIEW") == QLatin1String("off")) {
        ShowNote(strings::kPreviewTurnedOff);
        return;
    }
#if PELLIMOR_HAVE_WEBENGINE
    const QString ruffle = FindRuffleFolder();
    if (ruffle.isEmpty()) {
        ShowNote(strings::kNoRuffle);
        return;
    }
    player_ = std::make_unique<Player>(cache, files, addresses_, ruffle, options_, this);
    setFocusProxy(player_->view);
    WatchKeys(player_->view);
    ForgetChromiumFlags();
    connect(player_->handler, &PlayerSchemeHandler::pageEvent, this, &CFlash_ctrl::OnPageEvent);
    connect(player_->page, &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status) {
                if (status == QWebEnginePage::NormalTerminationStatus) {
                    return;
                }
                player_->ready = false;
                // The page comes back after a crash of a movie's making, twice; a player that
                // cannot stay up gives way to the note.
                if (++player_->restarts > 2) {
                    ShowNote(strings::kPlayerStopped);
                    return;
                }
                player_->page->load(QUrl(QString::fromLatin1(kPlayerPage)));
            });
    player_->page->load(QUrl(QString::fromLatin1(kPlayerPage)));
#else
    (void)cache;
    ShowNote(strings::kNoWebEngine);
#endif
}

CFlash_ctrl::~CFlash_ctrl() = default;

bool CFlash_ctrl::hasPlayer() const {
    return player_ != nullptr && noteText_.isEmpty();
}

int CFlash_ctrl::blockedRequests() const {
#if PELLIMOR_HAVE_WEBENGINE
    return player_ ? player_->guard->blocked() : 0;
#else
    return 0;
#endif
}

QWebEnginePage* CFlash_ctrl::page() const {
#if PELLIMOR_HAVE_WEBENGINE
    return player_ ? player_->page : nullptr;
#else
    return nullptr;
#endif
}

void CFlash_ctrl::SetMovie(const QString& localPath, const QString& address, const EntryId& id) {
    movie_ = localPath;
    ++moviesSet_;
    // Only to choose the note: the player reads the movie through the cache's own checks,
    // and its panel about a failed load would send the user to the website's administrator.
    missingText_ = localPath.isEmpty() || QFileInfo::exists(localPath)
                       ? QString()
                       : Q(strings::kCachedFileMissing) + QLatin1Char('\n') + localPath;
    UpdateNote();
    moviePage_.reset();
#if PELLIMOR_HAVE_WEBENGINE
    if (player_) {
        player_->files.SetMovie(CachedFile{localPath.toStdString(), {}, id, {}},
                                address.toStdString());
        // Only a movie played under its address can have been embedded by a page; and the
        // pages are read only for a player to play with them: the first look after a scan
        // lists the whole cache again.
        if (player_->files.playsUnderAddress()) {
            moviePage_ = pages_->Find(address.toStdString());
        }
        movieSaves_.clear();
        if (saves_ != nullptr && player_->files.playsUnderAddress()) {
            movieSaves_ = SavesOfMovie(*saves_, address.toStdString());
        } else if (saves_ != nullptr && !localPath.isEmpty()) {
            movieSaves_ = SavesOfFile(*saves_, localPath.toStdString());
        }
        pageUrl_ = player_->files.playsUnderAddress()
                       ? address
                       : QStringLiteral("pellimor://player/file?path=") +
                             QString::fromLatin1(QUrl::toPercentEncoding(localPath));
        PlacePlayer();
        Play();
    }
#else
    (void)address;
    (void)id;
#endif
    emit movieSet(localPath);
}

void CFlash_ctrl::Play() {
#if PELLIMOR_HAVE_WEBENGINE
    if (!player_->ready || pageUrl_.isEmpty()) {
        return;  // the page plays it once it is up
    }
    // What the page gave the movie goes in as data, never as script.
    QJsonObject movie{{QStringLiteral("url"), pageUrl_}};
    QJsonArray saves;
    for (const std::size_t i : movieSaves_) {
        const FoundSave& save = (*saves_)[i];
        saves.append(
            QJsonObject{{QStringLiteral("key"),
                         QString::fromStdString(RuffleStorageKeyAt(save, pageUrl_.toStdString()))},
                        {QStringLiteral("value"),
                         QString::fromLatin1(QByteArray::fromStdString(save.bytes).toBase64())}});
    }
    movie.insert(QStringLiteral("saves"), saves);
    if (moviePage_) {
        movie.insert(QStringLiteral("parameters"), QString::fromStdString(moviePage_->flashvars));
        movie.insert(QStringLiteral("base"), QString::fromStdString(moviePage_->base));
    }
    const QString quoted =
        QString::fromUtf8(QJsonDocument(QJsonArray{movie}).toJson(QJsonDocument::Compact));
    player_->page->runJavaScript(
        QStringLiteral("pellimor.play(%1, %2[0]);%3")
            .arg(moviesSet_)
            .arg(quoted, paused_ ? QStringLiteral(" pellimor.pause(true);") : QString()));
#endif
}

void CFlash_ctrl::SetPaused(bool paused) {
    paused_ = paused;
#if PELLIMOR_HAVE_WEBENGINE
    // A page not up yet is told when it plays its movie.
    if (player_ && player_->ready) {
        player_->page->runJavaScript(paused ? QStringLiteral("pellimor.pause(true);")
                                            : QStringLiteral("pellimor.pause(false);"));
    }
#endif
}

void CFlash_ctrl::ReadPlayedSaves(
    std::function<void(std::vector<std::pair<std::string, std::string>>)> done) {
#if PELLIMOR_HAVE_WEBENGINE
    if (player_ && player_->ready) {
        // A file's saves go back under "localhost" and its path, as Flash Player keeps them.
        const std::string played =
            player_->files.playsUnderAddress() ? std::string() : pageUrl_.toStdString();
        const std::string file = movie_.toStdString();
        player_->page->runJavaScript(
            QStringLiteral("pellimor.saves()"), [done, played, file](const QVariant& answer) {
                std::vector<std::pair<std::string, std::string>> saves;
                const QJsonArray list = QJsonDocument::fromJson(answer.toString().toUtf8()).array();
                for (const QJsonValue& entry : list) {
                    const QJsonArray pair = entry.toArray();
                    auto bytes = QByteArray::fromBase64Encoding(
                        pair.at(1).toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
                    if (pair.size() == 2 && bytes) {
                        std::string key = pair.at(0).toString().toStdString();
                        if (!played.empty()) {
                            key = FileSaveKeyOf(key, played, file);
                        }
                        saves.emplace_back(std::move(key), bytes.decoded.toStdString());
                    }
                }
                done(std::move(saves));
            });
        return;
    }
#endif
    done({});
}

void CFlash_ctrl::OnPageEvent(const QString& name, const QUrlQuery& fields) {
#if PELLIMOR_HAVE_WEBENGINE
    if (name == QLatin1String("ready") && !player_->ready) {
        player_->ready = true;
        Play();
    }
#endif
    emit pageEvent(name, fields.queryItemValue(QStringLiteral("load")).toInt(), fields);
}

void CFlash_ctrl::ShowNote(std::string_view why) {
    noteText_ = Q(why) + QStringLiteral("\n\n") + Q(strings::kPreviewOthersWork);
    UpdateNote();
}

void CFlash_ctrl::ShowNotice(const QString& text) {
    noticeText_ = text;
    UpdateNote();
}

QString CFlash_ctrl::shownNote() const {
    return note_->isHidden() ? QString() : note_->text();
}

void CFlash_ctrl::UpdateNote() {
    const QString text = !noticeText_.isEmpty()    ? noticeText_
                         : !missingText_.isEmpty() ? missingText_
                                                   : noteText_;
    note_->setText(text);
    note_->setVisible(!text.isEmpty());
    if (!text.isEmpty()) {
        note_->raise();
    }
}

void CFlash_ctrl::WatchKeys(QObject* object) {
    object->installEventFilter(this);
    for (QObject* child : object->children()) {
        WatchKeys(child);
    }
}

bool CFlash_ctrl::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ChildAdded) {
        // The web view makes the widget that takes its keys as pages come and go.
        WatchKeys(static_cast<QChildEvent*>(event)->child());
    } else if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const auto others = key->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
        const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
        if (tab && others == Qt::NoModifier) {
            focusNextPrevChild(key->key() == Qt::Key_Tab &&
                               !(key->modifiers() & Qt::ShiftModifier));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CFlash_ctrl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    note_->setGeometry(rect());
    PlacePlayer();
}

void CFlash_ctrl::PlacePlayer() {
#if PELLIMOR_HAVE_WEBENGINE
    // A movie its page gave a size shows at the page's proportions, as large as the control
    // allows: the page's pixels would rarely fit the preview.
    if (player_) {
        player_->view->setGeometry(
            moviePage_ ? FitCentred(QSize(moviePage_->width, moviePage_->height), rect()) : rect());
    }
#endif
}

}  // namespace pellimor
