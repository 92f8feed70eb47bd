#pragma once

#include <QByteArray>

#include <algorithm>
#include <cstring>

// A traffic log that keeps its newest part. Past a quarter more than Kept, the
// oldest lines go, cut at a line start: a lobby open for days stays the same size.
// Only the log window reads it, and it shows far less than Kept.
class TrafficLog {
public:
    static constexpr qsizetype Kept = 1024 * 1024;
    static constexpr qsizetype Ceiling = Kept + Kept / 4 + 64 * 1024;  // and a read of the socket

    TrafficLog &operator+=(QByteArrayView bytes)
    {
        // Grows as a byte array does, but never past what the log can hold between two
        // cuts: doubling from 1 MiB would keep 2 MiB for 1.25 MiB of text.
        const qsizetype needed = m_text.size() + bytes.size();
        if (needed > m_text.capacity())
            m_text.reserve(std::max(needed, std::min(2 * needed, Ceiling)));
        m_text += bytes;
        if (m_text.size() > Kept + Kept / 4) {
            const qsizetype lf = m_text.indexOf('\n', m_text.size() - Kept - 1);
            const qsizetype cut = lf < 0 ? m_text.size() : lf + 1;
            // Moved down within the block: a cut at the front would leave room there that
            // appends do not use, and the array would double anyway.
            char *text = m_text.data();
            std::memmove(text, text + cut, size_t(m_text.size() - cut));
            m_text.truncate(m_text.size() - cut);
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
