#include "net/SendThrottle.h"

#include <algorithm>

void SendThrottle::refill(qint64 nowMs)
{
    if (m_lastRefill >= 0)
        m_tokens = std::min<double>(Burst, m_tokens + double(nowMs - m_lastRefill) / IntervalMs);
    m_lastRefill = nowMs;
}

double SendThrottle::cost(QByteArrayView line)
{
    return line.startsWith("INVITE ") ? 4 : 1;
}

std::deque<SendThrottle::Line>::iterator SendThrottle::findKind(Kind kind)
{
    if (kind == Ordinary)
        return m_lines.end();
    return std::find_if(m_lines.begin(), m_lines.end(), [kind](const Line &l) { return l.kind == kind; });
}

qsizetype SendThrottle::waiting(Kind kind) const
{
    return std::count_if(m_lines.begin(), m_lines.end(), [kind](const Line &l) { return l.kind == kind; });
}

void SendThrottle::drop(Kind kind)
{
    const auto same = findKind(kind);
    if (same == m_lines.end())
        return;
    if (std::size_t(same - m_lines.begin()) < m_firstCount)
        --m_firstCount;
    m_lines.erase(same);
}

void SendThrottle::push(const QByteArray &line, qint64 nowMs, Kind kind)
{
    refill(nowMs);
    const auto same = findKind(kind);
    if (same != m_lines.end())
        same->bytes = line;  // keeps the place the older one had waited for
    else
        m_lines.push_back({line, kind});
}

void SendThrottle::pushFirst(const QByteArray &line, qint64 nowMs, Kind kind)
{
    refill(nowMs);
    drop(kind);
    // Answers keep their order among themselves.
    m_lines.insert(m_lines.begin() + std::ptrdiff_t(m_firstCount), {line, kind});
    ++m_firstCount;
}

QByteArray SendThrottle::takeReady(qint64 nowMs)
{
    refill(nowMs);
    QByteArray out;
    while (!m_lines.empty() && m_tokens >= 1.0) {
        out += m_lines.front().bytes;
        m_tokens -= cost(m_lines.front().bytes);  // may go below zero: the next line waits it off
        m_lines.pop_front();
        if (m_firstCount > 0)
            --m_firstCount;
    }
    return out;
}

QByteArray SendThrottle::takeForClose(int *dropped)
{
    QByteArray out;
    const std::size_t kept = std::min<std::size_t>(m_lines.size(), CloseAllowance);
    for (std::size_t i = 0; i < kept; ++i)
        out += m_lines[i].bytes;
    *dropped = int(m_lines.size() - kept);
    clear();
    return out;
}

bool SendThrottle::takeRoom(qint64 nowMs)
{
    refill(nowMs);
    if (!m_lines.empty() || m_tokens < 1.0)
        return false;
    m_tokens -= 1.0;
    return true;
}

qint64 SendThrottle::msUntilNext(qint64 nowMs, bool more) const
{
    if (m_lines.empty() && !more)
        return -1;
    const double tokensNow = std::min<double>(Burst, m_tokens + double(nowMs - m_lastRefill) / IntervalMs);
    return tokensNow >= 1.0 ? 0 : qint64((1.0 - tokensNow) * IntervalMs) + 1;
}
