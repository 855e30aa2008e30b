#include "ui/player/PlayerScheme.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRandomGenerator>
#include <QUrl>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

#include <unistd.h>

#include "ui/player/PlayerRequest.h"

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

// 128 random bits in hex: what a script in the page would have to guess to tell an event.
std::string NewPageKey() {
    std::string key;
    for (int i = 0; i < 4; ++i) {
        key += QString::number(QRandomGenerator::system()->generate(), 16)
                   .rightJustified(8, QLatin1Char('0'))
                   .toStdString();
    }
    return key;
}

// Chromium's flags for the preview, which has no network. WebRTC sends nothing over UDP
// unless through a proxy, and its proxy, loopback included, is a port nothing can listen
// on: a script in the page reaches neither a STUN server nor, over TCP, a TURN server, and
// whatever else might pass the request guard goes nowhere. Without a GPU (virtual displays)
// Chromium blocklists WebGL and Ruffle falls back to its canvas, which cannot draw into
// bitmaps as Flex interfaces do; Mesa's software renderer gives WebGL there.
constexpr const char* kPreviewFlags[] = {
    "--force-webrtc-ip-handling-policy=disable_non_proxied_udp",
    "--proxy-server=socks5://127.0.0.1:0", "--proxy-bypass-list=<-loopback>",
    "--ignore-gpu-blocklist"};

// Chromium's own log, fatal errors only: what the engine says of itself is for finding a
// fault in the player (PELLIMOR_PLAYER_LOG), not for every start.
constexpr const char* kQuietFlag = "--log-level=3";

// The engine's start-up report (its parameters and the GL it found, some 30 lines) and
// Chromium's log go to standard error only when the player's log is asked for.
bool EngineLogWanted() {
    return qEnvironmentVariableIsSet("PELLIMOR_PLAYER_LOG");
}

void AddFlag(QByteArray& flags, const char* flag) {
    if (!flags.contains(flag)) {
        flags += flags.isEmpty() ? QByteArray(flag) : " " + QByteArray(flag);
    }
}

void AddChromiumFlags() {
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    for (const char* flag : kPreviewFlags) {
        AddFlag(flags, flag);
    }
    if (!EngineLogWanted() && !flags.contains("--log-level")) {
        AddFlag(flags, kQuietFlag);
    }
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
}

}  // namespace

void PrepareWebEngine() {
    QWebEngineUrlScheme scheme(kPlayerScheme);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    scheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::LocalScheme |
                    QWebEngineUrlScheme::LocalAccessAllowed | QWebEngineUrlScheme::CorsEnabled |
                    QWebEngineUrlScheme::ContentSecurityPolicyIgnored);
    QWebEngineUrlScheme::registerScheme(scheme);
    AddChromiumFlags();
    if (!EngineLogWanted()) {
        // Rules of QT_LOGGING_RULES still go before this one.
        QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
    }
    // Chromium's sandbox refuses to start as root; only then is it turned off.
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

void ForgetChromiumFlags() {
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    for (const char* flag : kPreviewFlags) {
        flags.replace(flag, "");
    }
    flags.replace(kQuietFlag, "");
    flags = flags.simplified();
    if (flags.isEmpty()) {
        qunsetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    } else {
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
    }
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

void PlayerSchemeHandler::ReplyWithPage(QWebEngineUrlRequestJob* job) {
    QFile page(QStringLiteral(":/player/index.html"));
    if (!page.open(QIODevice::ReadOnly)) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    // Each page served gets a key of its own; the events of an earlier page end with it.
    pageKey_ = NewPageKey();
    QByteArray html = page.readAll();
    html.replace("@PAGE_KEY@", QByteArray::fromStdString(pageKey_));
    ReplyWithBytes(job, "text/html", std::move(html));
}

void PlayerSchemeHandler::requestStarted(QWebEngineUrlRequestJob* job) {
    const PlayerRequest request =
        ParsePlayerRequest(job->requestUrl().toEncoded().toStdString(), pageKey_);
    switch (request.kind) {
        case PlayerRequestKind::kPageFile:
            if (request.name == "index.html") {
                ReplyWithPage(job);
            } else {
                ReplyWithFile(job,
                              QStringLiteral(":/player/") + QString::fromStdString(request.name),
                              TypeByName(QString::fromStdString(request.name)));
            }
            return;
        case PlayerRequestKind::kOptions:
            ReplyWithBytes(job, "text/javascript", optionsScript_);
            return;
        case PlayerRequestKind::kRuffleFile:
            ReplyWithFile(
                job, ruffleFolder_ + QLatin1Char('/') + QString::fromStdString(request.name), {});
            return;
        case PlayerRequestKind::kCache:
        case PlayerRequestKind::kFile: {
            const auto found = request.kind == PlayerRequestKind::kCache
                                   ? files_.ForAddress(request.value)
                                   : files_.ForPath(request.value);
            if (!found) {
                job->fail(QWebEngineUrlRequestJob::UrlNotFound);
                return;
            }
            // Read through the cache's own checks, never by the path alone: a link in the
            // cache must not hand the movie a file from elsewhere.
            const Result<std::string> bytes = files_.Read(*found);
            if (!bytes) {
                job->fail(QWebEngineUrlRequestJob::UrlNotFound);
                return;
            }
            ReplyWithBytes(job,
                           found->contentType.empty()
                               ? TypeByName(QString::fromStdString(found->localPath))
                               : QByteArray::fromStdString(found->contentType),
                           QByteArray::fromStdString(*bytes));
            return;
        }
        case PlayerRequestKind::kEvent: {
            ReplyWithBytes(job, "text/plain", {});
            QUrlQuery fields;
            for (const auto& [key, value] : request.fields) {
                // Encoded, so that a '%' in a value reads back as itself.
                fields.addQueryItem(
                    QString::fromLatin1(QUrl::toPercentEncoding(QString::fromStdString(key))),
                    QString::fromLatin1(QUrl::toPercentEncoding(QString::fromStdString(value))));
            }
            emit pageEvent(QString::fromStdString(request.name), fields);
            return;
        }
        case PlayerRequestKind::kNotFound:
            break;
    }
    job->fail(QWebEngineUrlRequestJob::UrlNotFound);
}

}  // namespace pellimor
