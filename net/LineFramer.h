#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QList>

#include <vector>

// Cuts a TCP byte stream into complete CR LF lines. A partial line waits for
// the rest; a line that grows past the limit without CR LF is dropped whole.
class LineFramer {
public:
    static constexpr qsizetype MaxLineLength = 64 * 1024;

    // Appends a read and adds every line it completed to `lines`, each with its CR LF.
    // Nothing is copied but a line begun in an earlier read: the views point into
    // `bytes` or into the framer, and hold until the next feed.
    void feed(QByteArrayView bytes, std::vector<QByteArrayView> &lines);
    // The same, each line a copy of its own.
    QByteArrayList feed(QByteArrayView bytes);
    void clear();
    qsizetype pendingSize() const { return m_partial.size(); }

private:
    QByteArray m_partial;  // the part of the current line that came in earlier reads
    QByteArray m_joined;   // the last line put together from two reads or more
    bool m_discarding = false;  // inside an over-long line, until its CR LF
    bool m_lastWasCR = false;   // the previous read ended in CR
};
