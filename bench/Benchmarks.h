#pragma once

#include <QByteArray>
#include <QElapsedTimer>

// Each prints its own figures.
void benchInboundPath();
void benchLobbyWindow();

// Best of a few runs, in nanoseconds.
template <class F>
qint64 bestOf(int runs, F &&f)
{
    qint64 best = -1;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        const qint64 ns = t.nsecsElapsed();
        if (best < 0 || ns < best)
            best = ns;
    }
    return best;
}
