// The preview page's own scheme, pellimor://player/: it serves the page, Ruffle's files,
// the movie and the files the movie loads, and carries the page's events back: only those
// that carry the key of the page served last, which only the page's own script holds.
#pragma once

#include <QByteArray>
#include <QString>
#include <QUrlQuery>
#include <QWebEngineUrlSchemeHandler>

#include <string>

#include "ui/player/MovieFiles.h"

namespace pellimor {

inline constexpr char kPlayerScheme[] = "pellimor";
inline constexpr char kPlayerPage[] = "pellimor://player/index.html";

// Registers the scheme and readies the web engine, with WebRTC kept off UDP; before the
// QApplication is made.
void PrepareWebEngine();

// Takes the preview's flags out of the environment once the web engine has read them (it
// has when the first profile is made), so that a browser the window opens does not inherit
// a proxy that goes nowhere.
void ForgetChromiumFlags();

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
    // The page, with a new key that only its own script holds.
    void ReplyWithPage(QWebEngineUrlRequestJob* job);

    QString ruffleFolder_;
    QByteArray optionsScript_;
    MovieFiles& files_;
    std::string pageKey_;  // of the page served last; its events must carry it
};

}  // namespace pellimor
