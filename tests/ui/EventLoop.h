// Waiting in the window tests. The web engine does its work on this thread's events, so the
// tests run a real event loop, as the program does, instead of sleeping between checks.
#pragma once

#include <QEventLoop>
#include <QObject>
#include <QTimer>

#include <functional>

namespace pellimor::test {

// A ceiling, not a pause: waits end as soon as their condition holds. Generous, since the
// sanitizer build on a busy machine draws a movie many times slower.
inline constexpr int kEventTimeoutMs = 90000;

// Runs the event loop for ms milliseconds.
inline void RunFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until done() holds, or ms milliseconds have passed; whether it holds.
inline bool RunUntil(const std::function<bool()>& done, int ms = kEventTimeoutMs) {
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done()) {
            loop.quit();
        }
    });
    check.start(5);
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

}  // namespace pellimor::test
