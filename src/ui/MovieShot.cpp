#include "ui/MovieShot.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QTimer>

#include <algorithm>

namespace pellimor {

namespace {

// A frame is blank while it shows a single colour.
bool IsBlank(const QImage& image) {
    if (image.isNull()) {
        return true;
    }
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    const QRgb first = rgb.pixel(0, 0);
    for (int y = 0; y < rgb.height(); y += 2) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); x += 2) {
            if (line[x] != first) {
                return false;
            }
        }
    }
    return true;
}

QByteArray Png(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    return image.save(&buffer, "PNG") ? bytes : QByteArray();
}

}  // namespace

Result<MovieShots> ShootMovie(const MovieToShoot& movie, CacheSource* cache, FileOps* files,
                              std::shared_ptr<SharedAddressBook> addresses,
                              std::shared_ptr<SharedMoviePages> pages) {
    CFlash_ctrl flash(cache, files, nullptr, std::move(addresses), std::move(pages));
    if (!flash.hasPlayer()) {
        return Fail("no player can run here: " + flash.note().toStdString());
    }
    flash.setAttribute(Qt::WA_DontShowOnScreen);
    flash.resize(std::clamp(movie.size.width(), 16, 1280),
                 std::clamp(movie.size.height(), 16, 1024));
    flash.show();
    flash.SetMovie(movie.localPath, movie.url, movie.id);

    const int seconds = std::clamp(movie.seconds, 1, 30);
    MovieShots shots;
    QEventLoop loop;
    QElapsedTimer sinceLogo;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        const QImage frame = flash.grab().toImage();
        if (IsBlank(frame)) {
            return;
        }
        if (!sinceLogo.isValid()) {
            shots.logo = Png(frame);
            sinceLogo.start();
        } else if (sinceLogo.elapsed() >= seconds * 1000) {
            shots.screenshot = Png(frame);
            loop.quit();
        }
    });
    // However the movie behaves, the wait ends.
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    poll.start(100);
    deadline.start((seconds + 20) * 1000);
    loop.exec();
    if (shots.logo.isEmpty() || shots.screenshot.isEmpty()) {
        return Fail(std::string("the movie showed ") +
                    (shots.logo.isEmpty() ? "nothing" : "too little") + " in time");
    }
    return shots;
}

}  // namespace pellimor
