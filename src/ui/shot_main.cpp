// pellimor-shot: the pictures the web-game archive asks of a curation, taken from the movie
// as the window's player plays it, offscreen: logo.png from the first frame that is not
// blank, ss.png from a frame a few seconds in. The player answers from the cache alone (no
// network), and the run is bounded in time. pellimor-cli runs it as a child process, so the
// terminal program itself links no Qt.
//
// Usage: pellimor-shot --cache DIR [--codepage N] --url ADDRESS --logo FILE --ss FILE
//                      [--size WxH] [--seconds N]
// Exit status 0 with both pictures written; 1 when the movie showed nothing in time.
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <iostream>

#include "app/CommandLine.h"
#include "app/Session.h"
#include "catalogue/CacheAddressBook.h"
#include "ui/CFlash_ctrl.h"
#if PELLIMOR_HAVE_WEBENGINE
#include "ui/player/PlayerScheme.h"
#endif

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

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    pellimor::ProgramOptions options = pellimor::ReadProgramOptions(arguments);
    std::string url, logo, ss;
    int width = 550, height = 400, seconds = 3;
    for (std::size_t i = 0; i + 1 < options.rest.size(); i += 2) {
        const std::string& name = options.rest[i];
        const std::string& value = options.rest[i + 1];
        if (name == "--url") {
            url = value;
        } else if (name == "--logo") {
            logo = value;
        } else if (name == "--ss") {
            ss = value;
        } else if (name == "--seconds") {
            seconds = std::clamp(std::atoi(value.c_str()), 1, 30);
        } else if (name == "--size") {
            std::sscanf(value.c_str(), "%dx%d", &width, &height);
            width = std::clamp(width, 16, 1280);
            height = std::clamp(height, 16, 1024);
        }
    }
    if (!options.error.empty() || url.empty() || logo.empty() || ss.empty()) {
        std::cerr << "Usage: pellimor-shot --cache DIR --url ADDRESS --logo FILE --ss FILE "
                     "[--size WxH] [--seconds N]\n";
        return 2;
    }
#if PELLIMOR_HAVE_WEBENGINE
    pellimor::PrepareWebEngine();
#endif
    QApplication application(argc, argv);
    pellimor::Session session(options);
    std::optional<pellimor::CachedFile> movie;
    (void)session.cache().Enumerate([&](const pellimor::CacheEntry& entry) {
        if (entry.url && *entry.url == url) {
            movie = pellimor::FileOfEntry(entry);
        }
        return !movie;
    });
    if (!movie) {
        std::cerr << "pellimor-shot: the cache holds no " << url << "\n";
        return 1;
    }
    pellimor::CFlash_ctrl flash(&session.cache(), &session.files());
    if (!flash.hasPlayer()) {
        std::cerr << "pellimor-shot: no player can run here\n";
        return 1;
    }
    flash.resize(width, height);
    flash.show();
    flash.SetMovie(QString::fromStdString(movie->localPath), QString::fromStdString(url),
                   movie->id);

    int status = 1;
    QElapsedTimer sinceLogo;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const QImage frame = flash.grab().toImage();
        if (IsBlank(frame)) {
            return;
        }
        if (!sinceLogo.isValid()) {
            if (!frame.save(QString::fromStdString(logo), "PNG")) {
                application.exit(1);
            }
            sinceLogo.start();
        } else if (sinceLogo.elapsed() >= seconds * 1000) {
            status = frame.save(QString::fromStdString(ss), "PNG") ? 0 : 1;
            application.exit(status);
        }
    });
    poll.start(100);
    // However the movie behaves, the run ends.
    QTimer::singleShot((seconds + 20) * 1000, &application, [&] {
        std::cerr << "pellimor-shot: the movie showed "
                  << (sinceLogo.isValid() ? "too little" : "nothing") << " in time\n";
        application.exit(1);
    });
    return application.exec();
}
