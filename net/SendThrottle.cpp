#include "net/SendThrottle.h"

#include <algorithm>

void SendThrottle::refill(qint64 nowMs)
{
    if (m_lastRefill >= 0)
        m_tokens = std::min<double>(Burst, m_tokens + double(nowMs - m_lastRefill) / IntervalMs);
    m_lastRefill = nowMs;
}

void SendThrottle::push(const QByteArray &line, qint64 nowMs)
{
    refill(nowMs);
    m_lines.push_back(line);
}

void SendThrottle::pushFirst(const QByteArray &line, qint64 nowMs)
{
    refill(nowMs);
    // Ahead of ordinary lines, behind earlier "first" lines: answers keep their order.
    m_lines.insert(m_lines.begin() + std::ptrdiff_t(m_firstCount), line);
    ++m_firstCount;
}

bool SendThrottle::isWaiting(const QByteArray &line) const
{
    return std::find(m_lines.begin(), m_lines.end(), line) != m_lines.end();
}

QByteArray SendThrottle::takeReady(qint64 nowMs)
{
    refill(nowMs);
    QByteArray out;
    while (!m_lines.empty() && m_tokens >= 1.0) {
        out += m_lines.front();
        m_lines.pop_front();
        m_tokens -= 1.0;
        if (m_firstCount > 0)
            --m_firstCount;
    }
    return out;
}

QByteArray SendThrottle::takeAll()
{
    QByteArray out;
    for (const QByteArray &line : m_lines)
        out += line;
    clear();
    return out;
}

qint64 SendThrottle::msUntilNext(qint64 nowMs) const
{
    if (m_lines.empty())
        return -1;
    const double tokensNow = std::min<double>(Burst, m_tokens + double(nowMs - m_lastRefill) / IntervalMs);
    return tokensNow >= 1.0 ? 0 : qint64((1.0 - tokensNow) * IntervalMs) + 1;
}
