#pragma once

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <functional>

namespace bench {

// Monotonic time in nanoseconds: every timestamp of the benchmark is on this clock.
inline qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Runs the event loop (so that output of processes and X events are timestamped as they
// arrive) until `done` holds or `timeoutMs` has passed. Returns whether `done` held.
inline bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    QEventLoop loop;
    QTimer tick;
    tick.setInterval(5);
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (done() || deadline.hasExpired())
            loop.quit();
    });
    if (done())
        return true;
    tick.start();
    loop.exec();
    return done();
}

inline void pause(int ms)
{
    waitUntil([] { return false; }, ms);
}

} // namespace bench
