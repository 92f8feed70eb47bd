#include "net/LineFramer.h"

#include <string_view>

void LineFramer::feed(QByteArrayView bytes, std::vector<QByteArrayView> &lines)
{
    m_joined.clear();
    qsizetype lineStart = 0;  // the current line's first byte in this read; what came before is in m_partial
    const std::string_view text(bytes.data(), size_t(bytes.size()));  // its find goes straight to memchr
    qsizetype pos = 0;
    for (qsizetype lf; (lf = qsizetype(text.find('\n', size_t(pos)))) >= 0; pos = lf + 1) {
        const qsizetype pieceSize = lf + 1 - pos;
        const bool crlf = pieceSize >= 2 ? bytes[lf - 1] == '\r' : (pos == 0 ? m_lastWasCR : false);
        if (m_discarding) {
            m_discarding = !crlf;
            lineStart = lf + 1;
            continue;
        }
        if (m_partial.size() + (lf + 1 - lineStart) > MaxLineLength + 2) {
            m_partial.clear();
            m_discarding = !crlf;
            lineStart = lf + 1;
            continue;
        }
        if (!crlf)
            continue;  // a bare LF stays inside the line
        if (m_partial.isEmpty()) {
            lines.push_back(bytes.sliced(lineStart, lf + 1 - lineStart));
        } else {  // only the first line of a read can have begun earlier
            m_partial.append(bytes.first(lf + 1));
            m_joined.swap(m_partial);
            m_partial.clear();
            lines.push_back(m_joined);
        }
        lineStart = lf + 1;
    }
    if (!m_discarding) {
        m_partial.append(bytes.sliced(lineStart));
        if (m_partial.size() > MaxLineLength + 1) {  // room for the CR of its CR LF
            m_partial.clear();
            m_discarding = true;
        }
    }
    if (!bytes.isEmpty())
        m_lastWasCR = bytes.back() == '\r';
}

QByteArrayList LineFramer::feed(QByteArrayView bytes)
{
    std::vector<QByteArrayView> views;
    feed(bytes, views);
    QByteArrayList lines;
    lines.reserve(views.size());
    for (QByteArrayView line : views)
        lines.append(line.toByteArray());
    return lines;
}

void LineFramer::clear()
{
    // m_joined stays: a rule that closes the connection may still be reading its line.
    m_partial.clear();
    m_discarding = false;
    m_lastWasCR = false;
}
