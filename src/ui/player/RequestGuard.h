// Keeps the preview offline: every request that is not for the page's own scheme (or data
// the page holds already) is blocked and counted, and so is a request for the page or its
// scripts in any other role than the page loading them.
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
