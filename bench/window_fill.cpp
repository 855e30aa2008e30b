// The window on a large cache: the time from the end of a scan to the filled list, and a
// whole Refresh. Runs offscreen. Usage: bench_window_fill CACHE_FOLDER
#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>

#include <cstdio>

#include "app/Session.h"
#include "ui/CMovieDlg.h"
#include "ui/QtPrompts.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_window_fill CACHE_FOLDER\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("PELLIMOR_PREVIEW", "off");  // the list is measured here, not the player
    QApplication application(argc, argv);
    pellimor::ProgramOptions options;
    options.cacheFolder = argv[1];
    pellimor::Session session(options);
    pellimor::QtPrompts prompts(nullptr);
    pellimor::DesktopShell shell;
    pellimor::CMovieDlg dialog(
        {session.listing(), session.registry(), prompts, shell, session.tools().decompressor,
         session.tools().exportFolders, session.defaultSaveFolder()},
        "");
    std::vector<qint64> fills;
    std::vector<qint64> refreshes;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer timer;
        timer.start();
        dialog.ApplyListing();
        fills.push_back(timer.nsecsElapsed() / 1000);
        timer.restart();
        dialog.OnRefresh();
        refreshes.push_back(timer.nsecsElapsed() / 1000);
    }
    std::sort(fills.begin(), fills.end());
    std::sort(refreshes.begin(), refreshes.end());
    std::printf("%zu lines: fill after the scan %.1f ms, whole Refresh %.1f ms (medians of 5)\n",
                dialog.listing().movieLines.size(), fills[2] / 1000.0, refreshes[2] / 1000.0);
    return 0;
}
