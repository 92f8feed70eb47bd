#pragma once

#include <QByteArray>
#include <deque>

// Outgoing lines pass a token bucket so no server takes the client for a flood:
// a burst of a few lines, then a steady rate that common servers accept even
// with their default flood settings. Lines leave in their order, but a line
// queued "first" (the answer to a PING) goes ahead of those waiting.
class SendThrottle {
public:
    static constexpr int Burst = 5;
    static constexpr qint64 IntervalMs = 1000;  // one more line per interval

    void push(const QByteArray &line, qint64 nowMs);
    void pushFirst(const QByteArray &line, qint64 nowMs);
    // True when an identical line is still waiting.
    bool isWaiting(const QByteArray &line) const;
    // Takes every line the bucket lets go at this moment.
    QByteArray takeReady(qint64 nowMs);
    // Takes every waiting line, ready or not (the connection is closing).
    QByteArray takeAll();
    qint64 msUntilNext(qint64 nowMs) const;
    qsizetype waiting() const { return qsizetype(m_lines.size()); }
    void clear()
    {
        m_lines.clear();
        m_firstCount = 0;
    }

private:
    void refill(qint64 nowMs);

    std::deque<QByteArray> m_lines;
    std::size_t m_firstCount = 0;  // lines at the front that were queued "first"
    double m_tokens = Burst;
    qint64 m_lastRefill = -1;
};
