// pellimor: the window on the user's URL cache.
#include <QApplication>

#include <iostream>

#include "app/CommandLine.h"
#include "app/Session.h"
#include "app/Version.h"
#include "ui/CMovieDlg.h"
#include "ui/QtPrompts.h"
#if PELLIMOR_HAVE_WEBENGINE
#include "ui/player/PlayerScheme.h"
#endif
#include "ui/Shell.h"

namespace {
constexpr const char* kUsage =
    "Usage: pellimor [/site:HOST] [--cache DIR] [--codepage N] [--read-only]\n"
    "  /site:HOST     start on the site whose name begins with HOST\n"
    "  --cache DIR    the cache folder (default: the Wine prefix's INetCache)\n"
    "  --codepage N   the code page of the cache's names (default 1252)\n"
    "  --read-only    change nothing in the cache: Sil stays disabled\n";
}

int main(int argc, char** argv) {
    pellimor::CMovieApp app;
    app.InitInstance(std::vector<std::string>(argv + 1, argv + argc));
    if (app.m_options.help) {
        std::cout << kUsage;
        return 0;
    }
    if (app.m_options.version) {
        std::cout << "pellimor " PELLIMOR_VERSION_TEXT "\n";
        return 0;
    }
    if (!app.m_options.error.empty()) {
        std::cerr << "pellimor: " << app.m_options.error << "\n" << kUsage;
        return 2;
    }
#if PELLIMOR_HAVE_WEBENGINE
    pellimor::PrepareWebEngine();
#endif
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pellimor"));
    QApplication::setOrganizationName(QStringLiteral("Tavrik"));
    pellimor::Session session(app.m_options);
    pellimor::QtPrompts prompts(nullptr);
    pellimor::DesktopShell shell;
    pellimor::CMovieDlg dialog(
        {session.listing(), session.registry(), prompts, shell, session.tools().decompressor,
         session.tools().exportFolders, session.defaultSaveFolder(),
         pellimor::CacheProblem(session.cacheFolder(), !session.cache().sources().empty(),
                                session.problems()),
         &session.saves()},
        app.m_strInitialSite);
    dialog.exec();
    return 0;
}
