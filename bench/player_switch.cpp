// The preview: the time from a selection change to Ruffle's first frame of the new movie
// (the page's "frame" event), median of 20 switches, the time from opening the window to
// the first movie's first frame, and the memory of the program with its web engine
// processes. Runs offscreen on a demo cache, or on CACHE_FOLDER.
// Usage: bench_player_switch [CACHE_FOLDER]
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListView>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>

#include "app/DemoCache.h"
#include "app/Session.h"
#include "ui/CMovieDlg.h"
#include "ui/QtPrompts.h"
#include "ui/player/PlayerScheme.h"

namespace {

constexpr int kSwitches = 20;
constexpr int kTimeoutMs = 60'000;

// Runs the event loop until done() holds, as the program's own loop runs: the web engine's
// work is done on this thread's events, so a loop that sleeps between rounds slows it.
bool RunUntil(const std::function<bool()>& done) {
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done()) {
            loop.quit();
        }
    });
    check.start(1);
    QTimer::singleShot(kTimeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

// Proportional set size in KiB of a process (shared pages split among their users).
long PssKiB(const QString& pid) {
    QFile rollup(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    if (!rollup.open(QIODevice::ReadOnly)) {
        return 0;
    }
    for (const QByteArray& line : rollup.readAll().split('\n')) {
        if (line.startsWith("Pss:")) {
            return line.mid(4).trimmed().split(' ').front().toLong();
        }
    }
    return 0;
}

// This process's descendants: the web engine's helper processes.
QStringList Descendants(const QString& root) {
    QStringList found{root};
    bool grew = true;
    while (grew) {
        grew = false;
        for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
            if (pid.toLong() <= 0 || found.contains(pid)) {
                continue;
            }
            QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
            if (!stat.open(QIODevice::ReadOnly)) {
                continue;
            }
            const QByteArray text = stat.readAll();
            const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
            if (fields.size() > 1 && found.contains(QString::fromLatin1(fields[1]))) {
                found << pid;
                grew = true;
            }
        }
    }
    found.removeFirst();
    return found;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2) {
        std::fprintf(stderr, "usage: bench_player_switch [CACHE_FOLDER]\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    pellimor::PrepareWebEngine();
    QApplication application(argc, argv);
    QTemporaryDir temp;
    pellimor::ProgramOptions options;
    if (argc == 2) {
        options.cacheFolder = argv[1];
    } else {
        const auto made =
            pellimor::MakeDemoCache(temp.filePath(QStringLiteral("profile")).toStdString());
        if (!made) {
            std::fprintf(stderr, "bench_player_switch: %s\n", made.error().c_str());
            return 1;
        }
        options.cacheFolder = *made;
    }
    QElapsedTimer clock;
    clock.start();
    pellimor::Session session(options);
    pellimor::QtPrompts prompts(nullptr);
    pellimor::DesktopShell shell;
    pellimor::CMovieDlg dialog(
        {session.listing(), session.registry(), prompts, shell, session.tools().decompressor,
         session.tools().exportFolders, session.defaultSaveFolder()},
        "");
    auto* flash = static_cast<pellimor::CFlash_ctrl*>(dialog.Control(pellimor::kIdPlayer));
    if (!flash->hasPlayer()) {
        std::fprintf(stderr, "bench_player_switch: no player: %s\n", qPrintable(flash->note()));
        return 1;
    }
    int framed = 0;
    double readyMs = 0;  // the page's scripts loaded, before Ruffle's WebAssembly is compiled
    double metadataMs = 0;
    QObject::connect(flash, &pellimor::CFlash_ctrl::pageEvent, flash,
                     [&](const QString& name, int load, const QUrlQuery&) {
                         const double now = static_cast<double>(clock.nsecsElapsed()) / 1e6;
                         if (name == QLatin1String("ready") && readyMs == 0) {
                             readyMs = now;
                         } else if (name == QLatin1String("metadata") && metadataMs == 0) {
                             metadataMs = now;
                         } else if (name == QLatin1String("frame")) {
                             framed = std::max(framed, load);
                         }
                     });
    dialog.show();
    if (!RunUntil([&] { return framed >= flash->currentLoad(); })) {
        std::fprintf(stderr, "bench_player_switch: the first movie never showed\n");
        return 1;
    }
    const double startMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;

    auto* list = static_cast<QListView*>(dialog.Control(pellimor::kIdMovies));
    const int rows = list->model()->rowCount();
    std::vector<double> switches;
    for (int i = 0; i < kSwitches; ++i) {
        const QModelIndex next = list->model()->index((i + 1) % rows, 0);
        clock.restart();
        list->selectionModel()->select(next, QItemSelectionModel::ClearAndSelect);
        const int load = flash->currentLoad();
        if (!RunUntil([&] { return framed >= load; })) {
            std::fprintf(stderr, "bench_player_switch: switch %d never showed\n", i + 1);
            return 1;
        }
        switches.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
    std::sort(switches.begin(), switches.end());

    const QString self = QString::number(QCoreApplication::applicationPid());
    const QStringList helpers = Descendants(self);
    long helperKiB = 0;
    for (const QString& pid : helpers) {
        helperKiB += PssKiB(pid);
    }
    std::printf(
        "selection change to first frame: median %.1f ms (min %.1f, max %.1f) over %d switches\n"
        "window opened to first movie's first frame: %.0f ms (page ready %.0f ms, movie read "
        "%.0f ms)\n"
        "memory (PSS): program %.1f MiB + %lld web engine processes %.1f MiB\n",
        (switches[kSwitches / 2 - 1] + switches[kSwitches / 2]) / 2, switches.front(),
        switches.back(), kSwitches, startMs, readyMs, metadataMs,
        static_cast<double>(PssKiB(self)) / 1024.0, static_cast<long long>(helpers.size()),
        static_cast<double>(helperKiB) / 1024.0);
    std::printf("requests blocked: %d\n", flash->blockedRequests());
    return 0;
}
