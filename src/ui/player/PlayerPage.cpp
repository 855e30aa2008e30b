#include "ui/player/PlayerPage.h"

#include <QUrl>

#include <iostream>

#include "ui/player/ConsoleText.h"
#include "ui/player/PlayerScheme.h"

namespace pellimor {

bool PlayerPage::acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) {
    return isMainFrame && url == QUrl(QString::fromLatin1(kPlayerPage));
}

QWebEnginePage* PlayerPage::createWindow(WebWindowType) {
    return nullptr;
}

void PlayerPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString& message,
                                          int line, const QString& source) {
    // Ruffle reports what a movie does that it cannot; worth seeing only when asked for.
    if (qEnvironmentVariableIsSet("PELLIMOR_PLAYER_LOG")) {
        std::cerr << "pellimor: preview: " << PlainConsoleText(message.toStdString()) << " ("
                  << source.toStdString() << ":" << line << ")\n";
    }
}

}  // namespace pellimor
