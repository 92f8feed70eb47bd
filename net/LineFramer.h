#pragma once

#include <QByteArray>
#include <QByteArrayList>

// Cuts a TCP byte stream into complete CR LF lines. A partial line waits for
// the rest; a line that grows past the limit without CR LF is dropped whole.
class LineFramer {
public:
    static constexpr qsizetype MaxLineLength = 64 * 1024;

    // Appends a read and returns every line it completed, each with its CR LF.
    QByteArrayList feed(QByteArrayView bytes);
    void clear();
    qsizetype pendingSize() const { return m_partial.size(); }

private:
    QByteArray m_partial;
    bool m_discarding = false;  // inside an over-long line, until its CR LF
    bool m_lastWasCR = false;   // the previous read ended in CR
};
