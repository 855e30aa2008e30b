#include "ui/PopOutPlayer.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>

#include <cmath>

#include "ui/CFlash_ctrl.h"

namespace pellimor {

namespace {

// A stage no larger than Flash allows (about 8,191 pixels a side), read from what the page
// tells; nothing for anything else.
QSizeF ParseStage(const QUrlQuery& fields) {
    bool wide = false;
    bool high = false;
    const double width = fields.queryItemValue(QStringLiteral("width")).toDouble(&wide);
    const double height = fields.queryItemValue(QStringLiteral("height")).toDouble(&high);
    if (!wide || !high || !std::isfinite(width) || !std::isfinite(height) || width < 1 ||
        height < 1 || width > 65535 || height > 65535) {
        return {};
    }
    return {width, height};
}

// The largest rectangle of the stage's proportions inside area, centred in it.
QRect FitCentred(QSizeF stage, const QRect& area) {
    if (stage.isEmpty() || area.isEmpty()) {
        return area;
    }
    const QSizeF fitted = stage.scaled(QSizeF(area.size()), Qt::KeepAspectRatio);
    const QSize size(std::max(1, static_cast<int>(std::lround(fitted.width()))),
                     std::max(1, static_cast<int>(std::lround(fitted.height()))));
    QRect rect(QPoint(0, 0), size);
    rect.moveCenter(area.center());
    return rect;
}

}  // namespace

QSize StageWindowSize(QSizeF stage, QSize available, QSize fallback) {
    if (!stage.isValid() || stage.isEmpty() || !std::isfinite(stage.width()) ||
        !std::isfinite(stage.height())) {
        return fallback;
    }
    QSizeF size = stage;
    if (!available.isEmpty() &&
        (size.width() > available.width() || size.height() > available.height())) {
        size = stage.scaled(QSizeF(available), Qt::KeepAspectRatio);
    }
    return {std::max(1, static_cast<int>(std::lround(size.width()))),
            std::max(1, static_cast<int>(std::lround(size.height())))};
}

PopOutPlayer::PopOutPlayer(CacheSource* cache, FileOps* files, QWidget* parent,
                           std::shared_ptr<SharedAddressBook> addresses,
                           std::shared_ptr<SharedMoviePages> pages)
    : QWidget(parent, Qt::Window),
      flash_(new CFlash_ctrl(cache, files, this, std::move(addresses), std::move(pages))) {
    setAttribute(Qt::WA_DeleteOnClose);  // the player and its page go with the window
    setWindowModality(Qt::WindowModal);  // closing it returns to the dialog
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::black);  // the bars beside a stage of other shape
    setPalette(palette);
    connect(flash_, &CFlash_ctrl::pageEvent, this, &PopOutPlayer::OnPageEvent);
    resize(kDefaultStage);
}

PopOutPlayer::~PopOutPlayer() {
    // The page may still speak while the player goes down with this window.
    disconnect(flash_, nullptr, this, nullptr);
}

void PopOutPlayer::Play(const QString& localPath, const QString& address, const QString& title,
                        const EntryId& id) {
    stage_ = QSizeF();
    setWindowTitle(title);
    flash_->SetMovie(localPath, address, id);
    // The page's size is what the movie was seen at in the browser.
    if (const auto& page = flash_->moviePage(); page && page->width > 0) {
        ShowStage(QSizeF(page->width, page->height));
    }
    PlacePlayer();
}

void PopOutPlayer::OnPageEvent(const QString& name, int load, const QUrlQuery& fields) {
    if (name != QLatin1String("metadata") || load != flash_->currentLoad()) {
        return;  // only the movie playing now decides the size
    }
    if (const auto& page = flash_->moviePage(); page && page->width > 0) {
        return;  // its page's size stands
    }
    const QSizeF stage = ParseStage(fields);
    if (stage.isEmpty()) {
        return;
    }
    ShowStage(stage);
}

void PopOutPlayer::ShowStage(QSizeF stage) {
    stage_ = stage;
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    // Room for the frame the window manager adds.
    const QSize available = screen ? screen->availableGeometry().size() * 9 / 10 : QSize();
    resize(StageWindowSize(stage_, available, size()));
    PlacePlayer();
}

void PopOutPlayer::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    PlacePlayer();
}

void PopOutPlayer::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (event->isAccepted()) {
        emit closed();
    }
}

void PopOutPlayer::PlacePlayer() {
    flash_->setGeometry(FitCentred(stage_, rect()));
}

}  // namespace pellimor
