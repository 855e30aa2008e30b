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
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <iostream>

#include "app/CommandLine.h"
#include "app/Session.h"
#include "catalogue/CacheAddressBook.h"
#include "ground/AddressSanitizer.h"
#include "ui/MovieShot.h"
#if PELLIMOR_HAVE_WEBENGINE
#include "ui/player/PlayerScheme.h"
#endif

#if PELLIMOR_ADDRESS_SANITIZER
// In a sanitizer build: the web engine frees with a mismatched size inside Chromium, and it,
// fontconfig and udev keep allocations until the process ends (the player's tests say the
// same through their environment; this program is started by pellimor-cli, not by them).
extern "C" const char* __asan_default_options() {
    return "new_delete_type_mismatch=0";
}
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libQt6WebEngineCore.so\nleak:libfontconfig.so\nleak:libudev.so\n";
}
#endif

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
    const auto shots =
        pellimor::ShootMovie({QString::fromStdString(movie->localPath), QString::fromStdString(url),
                              movie->id, QSize(width, height), seconds},
                             &session.cache(), &session.files());
    if (!shots) {
        std::cerr << "pellimor-shot: " << shots.error() << "\n";
        return 1;
    }
    for (const auto& [path, bytes] : {std::pair{&logo, &shots->logo}, {&ss, &shots->screenshot}}) {
        QFile file(QString::fromStdString(*path));
        if (!file.open(QIODevice::WriteOnly) || file.write(*bytes) != bytes->size()) {
            std::cerr << "pellimor-shot: " << *path << " cannot be written\n";
            return 1;
        }
    }
    return 0;
}
