// The pictures a curation for the web-game archive asks of a movie, taken as the window's
// player plays it, offscreen: the logo from the first frame that is not blank, the screenshot
// from a frame some seconds after. pellimor-shot and the window's export take them this one
// way.
#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>

#include <memory>

#include "ports/Result.h"
#include "ui/CFlash_ctrl.h"

namespace pellimor {

struct MovieToShoot {
    QString localPath;  // as CFlash_ctrl::SetMovie takes the movie
    QString url;
    EntryId id;
    QSize size;       // the stage's; clamped to 16x16 .. 1280x1024
    int seconds = 3;  // from the logo to the screenshot; 1 .. 30
};

struct MovieShots {
    QByteArray logo;  // PNG
    QByteArray screenshot;
};

// Plays the movie in a player of its own that is not shown on screen, running the event loop
// until both pictures are taken, at most the seconds and 20 more. cache, files, addresses and
// pages as CFlash_ctrl takes them.
Result<MovieShots> ShootMovie(const MovieToShoot& movie, CacheSource* cache, FileOps* files,
                              std::shared_ptr<SharedAddressBook> addresses = nullptr,
                              std::shared_ptr<SharedMoviePages> pages = nullptr);

}  // namespace pellimor
