#pragma once

#include "protocol/ServerInfo.h"

#include <QByteArray>
#include <QByteArrayList>

#include <algorithm>

// IRC nicknames owed one line each, every one once (as the server folds names), taken several
// to a line where the server allows it.
class Addressees {
public:
    explicit Addressees(const ServerInfo &server) : m_server(&server) {}

    void add(QByteArrayView nick)
    {
        if (std::none_of(m_nicks.cbegin(), m_nicks.cend(), [&](const QByteArray &n) { return m_server->sameName(n, nick); }))
            m_nicks.append(nick.toByteArray());
    }
    void remove(QByteArrayView nick)
    {
        m_nicks.removeIf([&](const QByteArray &n) { return m_server->sameName(n, nick); });
    }
    void clear() { m_nicks.clear(); }
    bool isEmpty() const { return m_nicks.isEmpty(); }
    qsizetype size() const { return m_nicks.size(); }
    bool contains(QByteArrayView nick) const
    {
        return std::any_of(m_nicks.cbegin(), m_nicks.cend(), [&](const QByteArray &n) { return m_server->sameName(n, nick); });
    }
    // Those the predicate picks go first, in their order.
    template <typename First>
    void putFirst(First first)
    {
        std::stable_partition(m_nicks.begin(), m_nicks.end(), first);
    }
    // At most maxTargets of those not still waiting for something else, joined by commas, the
    // line kept well inside what a server relays; empty when nobody is owed.
    template <typename Waits>
    QByteArray take(int maxTargets, Waits waits)
    {
        QByteArray targets;
        int taken = 0;
        for (auto it = m_nicks.begin(); it != m_nicks.end() && taken < maxTargets && targets.size() + it->size() < 300;) {
            if (waits(*it)) {
                ++it;
                continue;
            }
            targets += (taken++ ? "," : "") + *it;
            it = m_nicks.erase(it);
        }
        return targets;
    }
    QByteArray take(int maxTargets)
    {
        return take(maxTargets, [](const QByteArray &) { return false; });
    }

private:
    const ServerInfo *m_server;
    QByteArrayList m_nicks;
};
