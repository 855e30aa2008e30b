// What a player's page told the window tests: every event, in order, while they listen.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrlQuery>

#include <algorithm>
#include <vector>

#include "ui/CFlash_ctrl.h"

namespace pellimor::test {

struct PageEvent {
    QString name;
    int load;
    QUrlQuery fields;
    QString Field(const char* field) const {
        return fields.queryItemValue(QLatin1String(field), QUrl::FullyDecoded);
    }
};

struct Events {
    std::vector<PageEvent> seen;
    QMetaObject::Connection connection;
    explicit Events(CFlash_ctrl* flash) {
        connection =
            QObject::connect(flash, &CFlash_ctrl::pageEvent, flash,
                             [this](const QString& name, int load, const QUrlQuery& fields) {
                                 seen.push_back({name, load, fields});
                             });
    }
    // A player may outlive the test that listened to it and tell more later.
    ~Events() { QObject::disconnect(connection); }
    Events(const Events&) = delete;
    Events& operator=(const Events&) = delete;

    const PageEvent* Find(const QString& name, int load) const {
        for (const PageEvent& e : seen) {
            if (e.name == name && e.load == load) {
                return &e;
            }
        }
        return nullptr;
    }
    int Count(const QString& name) const {
        return static_cast<int>(std::count_if(seen.begin(), seen.end(),
                                              [&](const PageEvent& e) { return e.name == name; }));
    }
    // The addresses of this load's events of that name.
    QStringList Urls(const QString& name, int load) const {
        QStringList urls;
        for (const PageEvent& e : seen) {
            if (e.name == name && e.load == load) {
                urls << e.Field("url");
            }
        }
        return urls;
    }
};

}  // namespace pellimor::test
