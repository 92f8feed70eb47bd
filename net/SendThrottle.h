#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <deque>

// Outgoing lines pass a token bucket so no server takes the client for a flood:
// a burst of a few lines, then a steady rate that common servers accept even
// with their default flood settings. The queue is a policy, not a pipe: lines
// leave in their order, a line queued "first" goes ahead of those waiting, and
// lines of one kind (a state that the newest line replaces) wait at most once.
class SendThrottle {
public:
    static constexpr int Burst = 5;
    static constexpr qint64 IntervalMs = 1000;  // one more line per interval
    // Written right before a close, more would be lost or cost the connection:
    // servers drop what they had not yet read, or the whole connection once
    // their receive queue overflows. Within a burst both ngircd and InspIRCd
    // take every line, even when a burst went out just before.
    static constexpr int CloseAllowance = Burst;
    // What a line costs: InspIRCd charges an INVITE four seconds of its rate. Sent at its rate,
    // what that costs more would never be paid back, and every later line, a launch too, would
    // wait in the server ever longer.
    static double cost(QByteArrayView line);

    // 0 is the ordinary kind: such lines never replace each other.
    using Kind = int;
    static constexpr Kind Ordinary = 0;

    // Behind those waiting; a waiting line of the same kind is replaced where it stands.
    void push(const QByteArray &line, qint64 nowMs, Kind kind = Ordinary);
    // Ahead of ordinary lines, behind earlier "first" lines; a waiting line of the same kind goes.
    void pushFirst(const QByteArray &line, qint64 nowMs, Kind kind = Ordinary);
    // Takes every line the bucket lets go at this moment.
    QByteArray takeReady(qint64 nowMs);
    // With nothing waiting, one line's room for a line made now (lines of least worth, made
    // when they can go out); false when the bucket is empty.
    bool takeRoom(qint64 nowMs);
    void giveRoomBack() { m_tokens += 1.0; }
    // The connection closes: the first CloseAllowance lines; the rest are dropped and counted.
    QByteArray takeForClose(int *dropped);
    // How long until the next line may go (-1: nothing to send); `more`: a line would be made.
    qint64 msUntilNext(qint64 nowMs, bool more = false) const;
    qsizetype waiting() const { return qsizetype(m_lines.size()); }
    qsizetype waiting(Kind kind) const;
    // The waiting line of this kind goes: what it said is no longer true.
    void drop(Kind kind);
    void clear()
    {
        m_lines.clear();
        m_firstCount = 0;
    }

private:
    struct Line {
        QByteArray bytes;
        Kind kind;
    };
    void refill(qint64 nowMs);
    std::deque<Line>::iterator findKind(Kind kind);

    std::deque<Line> m_lines;
    std::size_t m_firstCount = 0;  // lines at the front that were queued "first"
    double m_tokens = Burst;
    qint64 m_lastRefill = -1;
};
