#pragma once

#include <QElapsedTimer>

// The session's time, in milliseconds since it began; models are given it, never read it.
// A test may move it on rather than wait.
class LobbyClock {
public:
    LobbyClock() { m_timer.start(); }
    qint64 now() const { return m_timer.elapsed() + m_skipped; }
    void skip(qint64 ms) { m_skipped += ms; }

private:
    QElapsedTimer m_timer;
    qint64 m_skipped = 0;
};
