#include "session/LobbyMembers.h"

#include "protocol/IrcLine.h"

#include <algorithm>

bool LobbyMembers::arrived(QByteArrayView name)
{
    if (name.isEmpty() || name.size() > MaxNameBytes || contains(name))
        return false;
    const auto member = m_order.insert(m_order.end(), Member{name.toByteArray()});
    m_index.emplace(std::string(name.data(), size_t(name.size())), member);
    ++m_listed;
    ++m_changes;
    return true;
}

bool LobbyMembers::left(QByteArrayView name)
{
    const auto found = find(name);
    if (found == m_index.end())
        return false;
    const Order::iterator member = found->second;
    m_listed -= member->listed;
    m_classics -= member->classic;
    m_changes += member->listed;
    m_index.erase(found);
    m_order.erase(member);
    return true;
}

void LobbyMembers::clear()
{
    m_order.clear();
    m_index.clear();
    m_listed = m_classics = 0;
    ++m_changes;
}

void LobbyMembers::setListed(Member &m, bool listed)
{
    if (m.listed == listed)
        return;
    m.listed = listed;
    m_listed += listed ? 1 : -1;
    ++m_changes;
}

bool LobbyMembers::announced(QByteArrayView name, bool inChannel)
{
    const auto found = find(name);
    if (found == m_index.end())
        return false;
    Member &m = *found->second;
    setListed(m, true);
    if (!inChannel)
        return false;
    if (m.awaitingArrival) {  // every newcomer announces its own arrival in the channel
        m.awaitingArrival = false;
        return false;
    }
    if (m.classic)
        return false;
    m.classic = true;
    ++m_classics;
    return true;
}

void LobbyMembers::relist(QByteArrayView name)
{
    const auto found = find(name);
    if (found != m_index.end())
        setListed(*found->second, true);
}

void LobbyMembers::unlist(QByteArrayView name)
{
    const auto found = find(name);
    if (found != m_index.end())
        setListed(*found->second, false);
}

bool LobbyMembers::isListed(QByteArrayView name) const
{
    const auto found = find(name);
    return found != m_index.end() && found->second->listed;
}

QByteArrayList LobbyMembers::rows() const
{
    QByteArrayList rows;
    rows.reserve(m_listed);
    for (const Member &m : m_order)
        if (m.listed)
            rows.append(m.name);
    return rows;
}

QByteArray LobbyMembers::text() const
{
    QByteArray out;
    for (const Member &m : m_order)
        if (m.listed)
            out += m.name + "\r\n";
    return out;
}

void LobbyMembers::owe(Answer kind, QByteArrayView ircNickname)
{
    QByteArrayList &to = m_owed[kind];
    if (std::none_of(to.cbegin(), to.cend(), [&](const QByteArray &n) { return IrcLine::sameName(n, ircNickname); }))
        to.append(ircNickname.toByteArray());
}

std::pair<LobbyMembers::Answer, QByteArray> LobbyMembers::nextAnswer(int maxTargets)
{
    // The hut place first: the newcomer's picture of the hut has nobody else to come from.
    const Answer kind = m_owed[HutPlace].isEmpty() ? Presence : HutPlace;
    QByteArrayList &to = m_owed[kind];
    if (to.isEmpty())
        return {kind, {}};
    QByteArray targets = to.takeFirst();
    for (int n = 1; n < maxTargets && !to.isEmpty() && targets.size() + to.first().size() < 300; ++n)
        targets += ',' + to.takeFirst();
    return {kind, targets};
}

void LobbyMembers::forgetAnswers(QByteArrayView ircNickname)
{
    for (QByteArrayList &to : m_owed)
        to.removeIf([&](const QByteArray &n) { return IrcLine::sameName(n, ircNickname); });
}
