#pragma once

#include <QByteArray>

#include <algorithm>
#include <cstring>

// A traffic log that keeps its newest part: a ring of Kept and a quarter more, read from
// the first line start in it. A lobby open for days stays the same size, and an append
// costs its own bytes, where cutting the front off a flat array moved the whole megabyte.
// Only the log window reads it, and it shows far less than Kept.
class TrafficLog {
public:
    static constexpr qsizetype Kept = 1024 * 1024;
    static constexpr qsizetype Capacity = Kept + Kept / 4;

    TrafficLog &operator+=(QByteArrayView bytes)
    {
        if (m_ring.isEmpty())
            m_ring.resize(Capacity);  // its pages are taken as the log fills them
        if (bytes.size() > Capacity) {
            m_total += bytes.size() - Capacity;
            bytes = bytes.last(Capacity);
        }
        char *ring = m_ring.data();
        const qsizetype at = qsizetype(m_total % Capacity), first = std::min(bytes.size(), Capacity - at);
        std::memcpy(ring + at, bytes.data(), size_t(first));
        std::memcpy(ring, bytes.data() + first, size_t(bytes.size() - first));
        m_total += bytes.size();
        return *this;
    }
    // Every byte ever appended, dropped ones included: tells a reader what is new.
    qint64 total() const { return m_total; }
    // How many of the newest bytes the ring holds.
    qsizetype size() const { return qsizetype(std::min<qint64>(m_total, Capacity)); }
    // The newest n bytes, n at most size().
    QByteArray tail(qsizetype n) const
    {
        const qsizetype start = qsizetype((m_total - n) % Capacity), first = std::min(n, Capacity - start);
        QByteArray out(m_ring.constData() + start, first);
        return out.append(m_ring.constData(), n - first);
    }
    // All it holds, from the first line start once older bytes went.
    QByteArray text() const
    {
        QByteArray all = tail(size());
        if (m_total > Capacity)
            all.remove(0, all.indexOf('\n') + 1);
        return all;
    }

private:
    QByteArray m_ring;
    qint64 m_total = 0;
};
