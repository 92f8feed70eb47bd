#include "session/HutModel.h"

#include "protocol/IrcLine.h"

bool HutModel::is(QByteArrayView a, QByteArrayView b) const
{
    return IrcLine::sameName(a, b);
}

void HutModel::setHolder(int slot)
{
    const QByteArrayList &claims = m_claims[slot - 1];
    m_holders[slot - 1] = claims.isEmpty() ? QByteArray() : claims.first();
}

bool HutModel::drop(QByteArrayView name, int slot)
{
    QByteArrayList &claims = m_claims[slot - 1];
    for (qsizetype i = 0; i < claims.size(); ++i) {
        if (is(claims[i], name)) {
            claims.removeAt(i);
            setHolder(slot);
            return true;
        }
    }
    return false;
}

HutModel::Join HutModel::join(int slot)
{
    if (m_mine >= 1)
        return Join::AlreadyIn;
    if (!m_claims[slot - 1].isEmpty())
        return Join::Taken;
    if (slot > 1) {  // a member follows the host it sees now, and nobody else
        if (contested(1))
            return Join::HostContested;
        if (m_claims[0].isEmpty())
            return Join::NoHost;
        m_host = m_holders[0];
        m_hostSettled = !m_answersOpen;
        m_hostExited = false;
    }
    m_claims[slot - 1] = QByteArrayList{m_self};
    setHolder(slot);
    m_mine = std::int16_t(slot);
    return Join::Joined;
}

int HutModel::leave()
{
    const int old = m_mine;
    if (old == 0)
        return 0;
    drop(m_self, old);
    m_mine = 0;
    m_host.clear();
    m_hostExited = false;
    return old;
}

HutModel::Change HutModel::leaveBecause(Why why)
{
    Change c;
    c.places = true;
    c.why = why;
    c.host = m_host;
    c.left = leave();
    return c;
}

void HutModel::refresh()
{
    for (int slot = 1; slot <= Places; ++slot) {
        m_claims[slot - 1].clear();
        m_holders[slot - 1].clear();
    }
    openAnswers();
}

bool HutModel::restoreOwn()
{
    if (m_mine == 0 || !m_claims[m_mine - 1].isEmpty())
        return false;
    m_claims[m_mine - 1] = QByteArrayList{m_self};
    setHolder(m_mine);
    return true;
}

void HutModel::openAnswers()
{
    m_answersOpen = true;
    if (!m_host.isEmpty())
        m_hostSettled = true;  // seen before these answers: they do not put him in question
}

HutModel::Change HutModel::claim(QByteArrayView name, int slot)
{
    Change c;
    if (slot < 1 || slot > TableSize || is(name, m_self))
        return c;
    if (slot == m_mine) {  // this player's own place is never taken
        c.claimsMine = name.toByteArray();
        return c;
    }
    QByteArrayList &claims = m_claims[slot - 1];
    for (const QByteArray &claimant : claims)
        if (is(claimant, name))
            return c;  // said again: nothing changes
    const bool member = m_mine > 1 && !m_host.isEmpty();
    if (slot == 1 && member && !m_hostExited && !isMyHost(name) && (m_hostSettled || !m_answersOpen))
        return c;  // the host this member chose holds place 1, whatever the picture shows now
    if (!claims.isEmpty() && !m_answersOpen)
        return c;  // this client saw who came first
    for (int other = 1; other <= TableSize; ++other) {  // one place a player
        if (other != slot && drop(name, other)) {
            c.places |= other <= Places;
            if (other == 1 && member && isMyHost(name))
                return leaveBecause(Why::HostLeftHut);  // moved out of the host's place
        }
    }
    claims.append(name.toByteArray());
    setHolder(slot);
    c.places |= slot <= Places;
    if (slot == 1 && member && isMyHost(name))
        m_hostExited = false;  // back in place 1
    if (slot == 1 && member && claims.size() > 1)  // answers raced: nobody can tell who holds it
        return leaveBecause(Why::HostContested);
    return c;
}

HutModel::Change HutModel::exit(QByteArrayView name, int slot)
{
    Change c;
    if (slot < 1 || slot > TableSize || is(name, m_self))
        return c;
    // The host's exit counts even while a refresh shows the place free: his launch follows.
    if (slot == 1 && m_mine > 1 && isMyHost(name))
        c.hostExited = m_hostExited = true;
    c.places = drop(name, slot) && slot <= Places;
    return c;
}

HutModel::Change HutModel::gone(QByteArrayView name, Why why)
{
    if (m_mine > 1 && isMyHost(name)) {
        Change c = leaveBecause(why);
        for (int slot = 1; slot <= TableSize; ++slot)
            drop(name, slot);
        return c;
    }
    Change c;
    for (int slot = 1; slot <= TableSize; ++slot)
        c.places |= drop(name, slot) && slot <= Places;
    return c;
}

HutModel::Change HutModel::hostExitGraceOver()
{
    if (m_mine > 1 && m_hostExited)
        return leaveBecause(Why::HostLeftHut);
    return {};
}

bool HutModel::launchCounts(QByteArrayView name) const
{
    return m_mine > 1 && isMyHost(name);
}
