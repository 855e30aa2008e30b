// Keeps the preview offline: every request that is not for the page's own scheme (or data
// the page holds already) is blocked and counted.
#pragma once

#include <QWebEngineUrlRequestInterceptor>

namespace pellimor {

class RequestGuard : public QWebEngineUrlRequestInterceptor {
    Q_OBJECT
  public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;

    void interceptRequest(QWebEngineUrlRequestInfo& info) override;

    int blocked() const { return blocked_; }

  private:
    int blocked_ = 0;
};

}  // namespace pellimor
