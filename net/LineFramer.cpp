#include "net/LineFramer.h"

QByteArrayList LineFramer::feed(QByteArrayView bytes)
{
    QByteArrayList lines;
    qsizetype pos = 0;
    for (qsizetype lf; (lf = bytes.indexOf('\n', pos)) >= 0; pos = lf + 1) {
        const QByteArrayView piece = bytes.sliced(pos, lf + 1 - pos);
        const bool crlf = piece.size() >= 2 ? piece.at(piece.size() - 2) == '\r'
                                            : (pos == 0 ? m_lastWasCR : false);
        if (m_discarding) {
            m_discarding = !crlf;
            continue;
        }
        m_partial.append(piece);
        if (m_partial.size() > MaxLineLength + 2) {
            m_partial.clear();
            m_discarding = !crlf;
            continue;
        }
        if (crlf) {  // a bare LF stays inside the line
            lines.append(m_partial);
            m_partial.clear();
        }
    }
    const QByteArrayView rest = bytes.sliced(pos);
    if (!m_discarding) {
        m_partial.append(rest);
        if (m_partial.size() > MaxLineLength + 1) {  // room for the CR of its CR LF
            m_partial.clear();
            m_discarding = true;
        }
    }
    if (!bytes.isEmpty())
        m_lastWasCR = bytes.back() == '\r';
    return lines;
}

void LineFramer::clear()
{
    m_partial.clear();
    m_discarding = false;
    m_lastWasCR = false;
}
