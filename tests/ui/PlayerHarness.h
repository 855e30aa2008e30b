// The window tests with the player running: what a player's page told, what its picture shows
// of a movie's colours, and a window shown on a cache with its preview listened to.
#pragma once

#include <QImage>
#include <QObject>
#include <QUrlQuery>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

#include "EventLoop.h"
#include "ui/DialogHarness.h"

namespace pellimor::test {

// The demo movies' colours: their moving squares, which cover about 12,000 pixels.
constexpr QRgb kRocket = 0xE03C31;
constexpr QRgb kSnake = 0x2E8B57;
constexpr QRgb kPuzzle = 0xC71585;
constexpr QRgb kLevel = 0x20B2AA;  // the level the puzzle loads
constexpr QRgb kLeftover = 0x555555;
constexpr int kSquare = 3000;

struct PageEvent {
    QString name;
    int load;
    QUrlQuery fields;
    QString Field(const char* field) const {
        return fields.queryItemValue(QLatin1String(field), QUrl::FullyDecoded);
    }
};

// Every event a player's page tells, in order, while they listen.
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

    // This load's event of that name (any load's for load -1).
    const PageEvent* Find(const QString& name, int load = -1) const {
        for (const PageEvent& e : seen) {
            if (e.name == name && (load < 0 || e.load == load)) {
                return &e;
            }
        }
        return nullptr;
    }
    int Count(const QString& name, int load = -1) const {
        return static_cast<int>(std::count_if(seen.begin(), seen.end(), [&](const PageEvent& e) {
            return e.name == name && (load < 0 || e.load == load);
        }));
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
    // Waits for the page's event of that name about the movie flash set last.
    const PageEvent* WaitFor(const QString& name, CFlash_ctrl* flash) const {
        const int load = flash->currentLoad();
        RunUntil([&] { return Find(name, load) != nullptr; });
        return Find(name, load);
    }
};

// Pixels within tolerance steps of colour in each channel; image as QImage::Format_RGB32.
inline int CountNear(const QImage& image, QRgb colour, int tolerance = 10) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = line[x];
            if (std::abs(qRed(p) - qRed(colour)) <= tolerance &&
                std::abs(qGreen(p) - qGreen(colour)) <= tolerance &&
                std::abs(qBlue(p) - qBlue(colour)) <= tolerance) {
                ++count;
            }
        }
    }
    return count;
}

inline QImage Grab(QWidget* widget) {
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Waits until the widget shows at least this many pixels of the colour.
inline bool WaitForColour(QWidget* widget, QRgb colour, int pixels = kSquare) {
    return RunUntil([&] { return CountNear(Grab(widget), colour) >= pixels; });
}

// What a script run in the page answers, read with the event loop running.
inline QVariant Ask(QWebEnginePage* page, const QString& script) {
    const auto answer = std::make_shared<QVariant>();  // outlives the wait if the page is slow
    const auto done = std::make_shared<bool>(false);
    page->runJavaScript(script, [answer, done](const QVariant& v) {
        *answer = v;
        *done = true;
    });
    RunUntil([&] { return *done; });
    return *answer;
}

// The player's view inside a preview control.
inline QRect ViewGeometry(CFlash_ctrl* flash) {
    QWebEngineView* view = QWebEngineView::forPage(flash->page());
    return view ? view->geometry() : QRect();
}

// The window open and shown on its cache, its preview and what the preview's page tells.
struct Shown {
    Harness h;
    CMovieDlg& dialog;
    CFlash_ctrl* flash;
    Events events;

    template <typename... Cache>
    explicit Shown(Cache&&... cache)
        : h(std::forward<Cache>(cache)...), dialog(h.Open()), flash(h.Flash()), events(flash) {
        dialog.show();
    }
    // Selects the movie and waits for the page's first frame of it.
    bool Play(const QString& name) {
        return h.Select(name) && events.WaitFor(QStringLiteral("frame"), flash);
    }
};

}  // namespace pellimor::test
