// The selected movie in a window of its own, at the movie's stage size: the dialog's preview is
// smaller than most games. The same player as the preview, reading through the same cache.
#pragma once

#include <QSize>
#include <QSizeF>
#include <QString>
#include <QUrlQuery>
#include <QWidget>

#include <memory>

#include "catalogue/CacheAddressBook.h"
#include "files/MoviePage.h"
#include "ports/CacheSource.h"
#include "ports/FileOps.h"

namespace pellimor {

class CFlash_ctrl;

// The window's client size for a stage: the stage itself, made smaller with its proportions
// kept when it does not fit into available; fallback for a stage that is no size at all.
QSize StageWindowSize(QSizeF stage, QSize available, QSize fallback);

class PopOutPlayer : public QWidget {
    Q_OBJECT
  public:
    // The Flash Player's own stage size, shown until the movie tells its own.
    static constexpr QSize kDefaultStage{550, 400};

    // parent: the window it returns to; it stays above it and blocks it until closed.
    // addresses, pages: the window's own player's address book and pages, not read again for
    // this one.
    PopOutPlayer(CacheSource* cache, FileOps* files, QWidget* parent,
                 std::shared_ptr<SharedAddressBook> addresses = nullptr,
                 std::shared_ptr<SharedMoviePages> pages = nullptr);
    ~PopOutPlayer() override;

    // Plays the movie at localPath (under address when that is a web address), at the size its
    // cached page gave it, if any, else at the stage size the movie tells.
    void Play(const QString& localPath, const QString& address, const QString& title,
              const EntryId& id = {});

    CFlash_ctrl* player() const { return flash_; }
    // The stage the movie told, or an empty size before it has.
    QSizeF stage() const { return stage_; }

  signals:
    // The window was closed: the player that waited for it may go on.
    void closed();

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void OnPageEvent(const QString& name, int load, const QUrlQuery& fields);
    // The window at this stage size, within the screen.
    void ShowStage(QSizeF stage);
    // The player at the stage's proportions, as large as the window allows, centred.
    void PlacePlayer();

    CFlash_ctrl* flash_;
    QSizeF stage_;
};

}  // namespace pellimor
