#pragma once
// The longest stretch during which the event loop did not run: a 5 ms timer ticks while the
// measured call runs, and the largest distance between two ticks (or between the start, a
// tick and the end) is the longest time the windows could neither paint nor take a key.
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <algorithm>

namespace bench {

class EventGap
{
public:
    EventGap()
    {
        FTicker.setInterval(5);
        QObject::connect(&FTicker, &QTimer::timeout, [this] { tick(); });
    }
    void start()
    {
        FMaxMs = 0;
        FMaxEndMs = 0;
        FClock.start();
        FLast = 0;
        FTicker.start();
    }
    // Stops the timer; the longest gap in milliseconds.
    double stop()
    {
        tick();
        FTicker.stop();
        return FMaxMs;
    }
    // When the longest gap ended, in milliseconds after the start.
    double longestEndMs() const { return FMaxEndMs; }
    double elapsedMs() const { return double(FClock.nsecsElapsed()) / 1e6; }

private:
    void tick()
    {
        const qint64 now = FClock.nsecsElapsed();
        if (double(now - FLast) / 1e6 > FMaxMs) {
            FMaxMs = double(now - FLast) / 1e6;
            FMaxEndMs = double(now) / 1e6;
        }
        FLast = now;
    }
    QTimer FTicker;
    QElapsedTimer FClock;
    qint64 FLast = 0;
    double FMaxMs = 0;
    double FMaxEndMs = 0;
};

} // namespace bench
