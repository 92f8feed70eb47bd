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
    // At most maxTargets of them, joined by commas, the line kept well inside what a server
    // relays; empty when nobody is owed.
    QByteArray take(int maxTargets)
    {
        if (m_nicks.isEmpty())
            return {};
        QByteArray targets = m_nicks.takeFirst();
        for (int n = 1; n < maxTargets && !m_nicks.isEmpty() && targets.size() + m_nicks.first().size() < 300; ++n)
            targets += ',' + m_nicks.takeFirst();
        return targets;
    }

private:
    const ServerInfo *m_server;
    QByteArrayList m_nicks;
};
