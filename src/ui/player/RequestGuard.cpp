#include "ui/player/RequestGuard.h"

#include <QUrl>

#include "ui/player/PlayerScheme.h"

namespace pellimor {

void RequestGuard::interceptRequest(QWebEngineUrlRequestInfo& info) {
    const QString scheme = info.requestUrl().scheme();
    if (scheme == QLatin1String(kPlayerScheme) || scheme == QLatin1String("data") ||
        scheme == QLatin1String("blob")) {
        return;
    }
    info.block(true);
    ++blocked_;
}

}  // namespace pellimor
