#pragma once

#include <QByteArray>

// A traffic log that keeps its newest part. Past a quarter more than Kept, the
// oldest lines go, cut at a line start: a lobby open for days stays the same size.
// Only the log window reads it, and it shows far less than Kept.
class TrafficLog {
public:
    static constexpr qsizetype Kept = 1024 * 1024;

    TrafficLog &operator+=(QByteArrayView bytes)
    {
        m_text += bytes;
        if (m_text.size() > Kept + Kept / 4) {
            const qsizetype lf = m_text.indexOf('\n', m_text.size() - Kept - 1);
            const qsizetype cut = lf < 0 ? m_text.size() : lf + 1;
            m_text.remove(0, cut);
            m_dropped += cut;
        }
        return *this;
    }
    const QByteArray &text() const { return m_text; }
    // Every byte ever appended, dropped ones included: tells a reader what is new.
    qint64 total() const { return m_dropped + m_text.size(); }

private:
    QByteArray m_text;
    qint64 m_dropped = 0;
};
