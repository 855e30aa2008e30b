// The preview's web page: it stays on the player page, opens no windows, and follows no
// link a movie opens.
#pragma once

#include <QWebEnginePage>

namespace pellimor {

class PlayerPage : public QWebEnginePage {
    Q_OBJECT
  public:
    using QWebEnginePage::QWebEnginePage;

  protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage* createWindow(WebWindowType type) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                  int line, const QString& source) override;
};

}  // namespace pellimor
