#include "ui/player/RequestGuard.h"

#include <QUrl>

#include "ui/player/PlayerRequest.h"
#include "ui/player/PlayerScheme.h"

namespace pellimor {

namespace {

// The page comes only as the page, and its scripts only as scripts: a script in the page
// can read neither again (the page holds the key of its events, and serving it anew would
// hand out a new one).
bool MayAsk(const QWebEngineUrlRequestInfo& info) {
    const PlayerRequest request =
        ParsePlayerRequest(info.requestUrl().toEncoded().toStdString(), {});
    const auto type = info.resourceType();
    if (request.kind == PlayerRequestKind::kPageFile && request.name == "index.html") {
        return type == QWebEngineUrlRequestInfo::ResourceTypeMainFrame;
    }
    if (request.kind == PlayerRequestKind::kPageFile ||
        request.kind == PlayerRequestKind::kOptions) {
        return type == QWebEngineUrlRequestInfo::ResourceTypeScript;
    }
    return true;
}

}  // namespace

void RequestGuard::interceptRequest(QWebEngineUrlRequestInfo& info) {
    const QString scheme = info.requestUrl().scheme();
    if (scheme == QLatin1String(kPlayerScheme)
            ? MayAsk(info)
            : scheme == QLatin1String("data") || scheme == QLatin1String("blob")) {
        return;
    }
    info.block(true);
    ++blocked_;
}

}  // namespace pellimor
