// The preview page's own scheme, pellimor://player/: it serves the page, Ruffle's files,
// the movie and the files the movie loads, and carries the page's events back.
#pragma once

#include <QByteArray>
#include <QString>
#include <QUrlQuery>
#include <QWebEngineUrlSchemeHandler>

#include "ui/player/MovieFiles.h"

namespace pellimor {

inline constexpr char kPlayerScheme[] = "pellimor";
inline constexpr char kPlayerPage[] = "pellimor://player/index.html";

// Registers the scheme and readies the web engine; before the QApplication is made.
void PrepareWebEngine();

// The folder that holds ruffle.js and its WebAssembly, or empty when none is installed.
QString FindRuffleFolder();

class PlayerSchemeHandler : public QWebEngineUrlSchemeHandler {
    Q_OBJECT
  public:
    // optionsJson: the Ruffle options of the initial properties, as a JSON object.
    PlayerSchemeHandler(QString ruffleFolder, QByteArray optionsJson, MovieFiles& files,
                        QObject* parent);

    void requestStarted(QWebEngineUrlRequestJob* job) override;

  signals:
    void pageEvent(const QString& name, const QUrlQuery& fields);

  private:
    void ReplyWithFile(QWebEngineUrlRequestJob* job, const QString& path, const QByteArray& type);

    QString ruffleFolder_;
    QByteArray optionsScript_;
    MovieFiles& files_;
};

}  // namespace pellimor
