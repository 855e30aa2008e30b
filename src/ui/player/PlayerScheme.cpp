#include "ui/player/PlayerScheme.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

#include <unistd.h>

namespace pellimor {

namespace {

QByteArray TypeByName(const QString& name) {
    static const struct {
        const char* suffix;
        const char* type;
    } kTypes[] = {{".html", "text/html"},
                  {".js", "text/javascript"},
                  {".wasm", "application/wasm"},
                  {".map", "application/json"},
                  {".swf", "application/x-shockwave-flash"}};
    for (const auto& t : kTypes) {
        if (name.endsWith(QLatin1String(t.suffix), Qt::CaseInsensitive)) {
            return t.type;
        }
    }
    return "application/octet-stream";
}

void ReplyWithBytes(QWebEngineUrlRequestJob* job, const QByteArray& type, QByteArray bytes) {
    auto* buffer = new QBuffer(job);
    buffer->setData(std::move(bytes));
    buffer->open(QIODevice::ReadOnly);
    job->reply(type, buffer);
}

// A name straight inside a folder: no separators, no parent steps, nothing hidden.
bool IsPlainName(const QString& name) {
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) &&
           !name.startsWith(QLatin1Char('.'));
}

}  // namespace

void PrepareWebEngine() {
    QWebEngineUrlScheme scheme(kPlayerScheme);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    scheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::LocalScheme |
                    QWebEngineUrlScheme::LocalAccessAllowed | QWebEngineUrlScheme::CorsEnabled |
                    QWebEngineUrlScheme::ContentSecurityPolicyIgnored);
    QWebEngineUrlScheme::registerScheme(scheme);
    // Chromium's sandbox refuses to start as root; only then is it turned off.
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

QString FindRuffleFolder() {
    QStringList candidates;
    if (const QString named = qEnvironmentVariable("PELLIMOR_RUFFLE_DIR"); !named.isEmpty()) {
        candidates << named;  // the one place asked for, and no other
    } else {
        candidates << QCoreApplication::applicationDirPath() +
                          QStringLiteral("/../share/pellimor/ruffle");
#ifdef PELLIMOR_RUFFLE_SOURCE_DIR
        candidates << QStringLiteral(PELLIMOR_RUFFLE_SOURCE_DIR);
#endif
    }
    for (const QString& folder : candidates) {
        if (QFileInfo(folder + QStringLiteral("/ruffle.js")).isFile()) {
            return QDir(folder).canonicalPath();
        }
    }
    return {};
}

PlayerSchemeHandler::PlayerSchemeHandler(QString ruffleFolder, QByteArray optionsJson,
                                         MovieFiles& files, QObject* parent)
    : QWebEngineUrlSchemeHandler(parent),
      ruffleFolder_(std::move(ruffleFolder)),
      optionsScript_("window.pellimorOptions = " + optionsJson + ";\n"),
      files_(files) {}

void PlayerSchemeHandler::ReplyWithFile(QWebEngineUrlRequestJob* job, const QString& path,
                                        const QByteArray& type) {
    auto* file = new QFile(path, job);
    if (!file->open(QIODevice::ReadOnly)) {
        delete file;
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    job->reply(type.isEmpty() ? TypeByName(path) : type, file);
}

void PlayerSchemeHandler::requestStarted(QWebEngineUrlRequestJob* job) {
    const QUrl url = job->requestUrl();
    if (url.host() != QLatin1String("player")) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    const QString path = url.path();
    const QUrlQuery query(url);
    if (path == QLatin1String("/") || path == QLatin1String("/index.html") ||
        path == QLatin1String("/player.js")) {
        const QString name = path == QLatin1String("/") ? QStringLiteral("/index.html") : path;
        ReplyWithFile(job, QStringLiteral(":/player") + name, TypeByName(name));
    } else if (path == QLatin1String("/options.js")) {
        ReplyWithBytes(job, "text/javascript", optionsScript_);
    } else if (path.startsWith(QLatin1String("/ruffle/")) && IsPlainName(path.mid(8))) {
        ReplyWithFile(job, ruffleFolder_ + QLatin1Char('/') + path.mid(8), {});
    } else if (path == QLatin1String("/cache") || path == QLatin1String("/file")) {
        const QString asked = query.queryItemValue(
            path == QLatin1String("/cache") ? QStringLiteral("url") : QStringLiteral("path"),
            QUrl::FullyDecoded);
        const std::string text = asked.toStdString();
        const auto found =
            path == QLatin1String("/cache") ? files_.ForAddress(text) : files_.ForPath(text);
        if (!found) {
            job->fail(QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        ReplyWithFile(job, QString::fromStdString(found->localPath),
                      QByteArray::fromStdString(found->contentType));
    } else if (path == QLatin1String("/event")) {
        ReplyWithBytes(job, "text/plain", {});
        emit pageEvent(query.queryItemValue(QStringLiteral("name")), query);
    } else {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
    }
}

}  // namespace pellimor
