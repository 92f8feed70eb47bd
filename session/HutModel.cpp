// The hut's table: who claims what, whom this member follows, and for how long.
#include "session/HutModel.h"

HutModel::HutModel(const ServerInfo &server, const LobbyMembers &members, const Speakers &speakers, Outbox &out,
                   QByteArray nickname, QByteArray channel)
    : m_server(server), m_members(members), m_speakers(speakers), m_out(out), m_self(std::move(nickname)),
      m_channel(std::move(channel)), m_owed(server), m_newcomers(server), m_hutChannel(m_channel + "-hut")
{
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

HutModel::Join HutModel::join(int slot, qint64 nowMs)
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
        m_hostSettled = !answersOpen(nowMs);
        m_hostExitedAt = -1;
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
    if (old == 1 && is(m_attestedHost, m_self))
        m_attestedHost.clear();  // the hut channel goes with this player
    m_mine = 0;
    m_host.clear();
    m_hostExitedAt = m_claimedAt = -1;
    m_toldClaims.clear();
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

void HutModel::refresh(qint64 nowMs)
{
    for (int slot = 1; slot <= Places; ++slot) {
        m_claims[slot - 1].clear();
        m_holders[slot - 1].clear();
    }
    openAnswers(nowMs);
    if (m_mine > 0)
        m_restoreDue = nowMs + RestoreMs;
}

bool HutModel::restoreOwn()
{
    if (m_mine == 0 || !m_claims[m_mine - 1].isEmpty())
        return false;
    m_claims[m_mine - 1] = QByteArrayList{m_self};
    setHolder(m_mine);
    return true;
}

void HutModel::openAnswers(qint64 nowMs)
{
    m_answersUntil = nowMs + AnswerWindowMs;
    if (!m_host.isEmpty())
        m_hostSettled = true;  // seen before these answers: they do not put him in question
}

HutModel::Change HutModel::claim(QByteArrayView name, int slot, qint64 nowMs)
{
    Change c;
    if (slot < 1 || slot > TableSize || is(name, m_self))
        return c;
    if (slot == m_mine) {  // this player's own place is never taken
        c.claimsMine = name.toByteArray();
        return c;
    }
    if (slot == 1 && !m_attestedHost.isEmpty() && !is(name, m_attestedHost))
        return c;  // the server says who made the hut
    QByteArrayList &claims = m_claims[slot - 1];
    for (const QByteArray &claimant : claims)
        if (is(claimant, name))
            return c;  // said again: nothing changes
    const bool open = answersOpen(nowMs);
    const bool member = m_mine > 1 && !m_host.isEmpty();
    if (slot == 1 && member && m_hostExitedAt < 0 && !isMyHost(name) && (m_hostSettled || !open))
        return c;  // the host this member chose holds place 1, whatever the picture shows now
    if (!claims.isEmpty() && !open)
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
    c.joinedMine = m_mine > 0 && slot <= Places;
    if (slot > 1 && slot <= Places)
        c.seated = name.toByteArray();
    if (slot == 1 && member && isMyHost(name))
        m_hostExitedAt = -1;  // back in place 1
    if (slot == 1 && member && claims.size() > 1)  // answers raced: nobody can tell who holds it
        return leaveBecause(Why::HostContested);
    return c;
}

HutModel::Change HutModel::exit(QByteArrayView name, int slot, qint64 nowMs)
{
    Change c;
    if (slot < 1 || slot > TableSize || is(name, m_self))
        return c;
    // The host's exit counts even while a refresh shows the place free: his launch follows.
    if (slot == 1 && m_mine > 1 && isMyHost(name))
        m_hostExitedAt = nowMs;
    if (slot == 1 && is(name, m_attestedHost))
        m_attestedHost.clear();  // his own word that he left: the next to make the hut may host
    c.places = drop(name, slot) && slot <= Places;
    return c;
}

HutModel::Change HutModel::gone(QByteArrayView name, Why why)
{
    if (is(name, m_attestedHost))
        m_attestedHost.clear();
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

HutModel::Change HutModel::attest(QByteArrayView name)
{
    Change c;
    m_attestedHost = name.toByteArray();
    if (name.isEmpty())
        return c;  // no witness: the answers alone tell
    if (m_mine == 1 && !is(name, m_self)) {  // both took place 1 at once: the server saw him first
        c = leaveBecause(Why::MadeFirst);
        c.host = m_attestedHost;
    }
    QByteArrayList &claims = m_claims[0];
    const qsizetype before = claims.size();
    claims.removeIf([&](const QByteArray &n) { return !is(n, name); });
    setHolder(1);
    c.places |= claims.size() != before;
    return c;
}

bool HutModel::launchCounts(QByteArrayView name, qint64 nowMs) const
{
    return m_mine > 1 && isMyHost(name) && (m_hostExitedAt < 0 || nowMs - m_hostExitedAt < ExitGraceMs);
}

qint64 HutModel::nextDue() const
{
    const qint64 grace = m_mine > 1 && m_hostExitedAt >= 0 ? m_hostExitedAt + ExitGraceMs : -1;
    if (grace < 0 || m_restoreDue < 0)
        return std::max(grace, m_restoreDue);
    return std::min(grace, m_restoreDue);
}

void HutModel::due(qint64 nowMs)
{
    if (m_restoreDue >= 0 && nowMs >= m_restoreDue) {
        m_restoreDue = -1;
        if (restoreOwn())
            showPlaces();
    }
    // The grace after the host's exit ran out without a launch.
    if (m_mine > 1 && m_hostExitedAt >= 0 && nowMs - m_hostExitedAt >= ExitGraceMs)
        apply(leaveBecause(Why::HostLeftHut));
}

void HutModel::reset()
{
    leave();
    for (int slot = 1; slot <= TableSize; ++slot) {
        m_claims[slot - 1].clear();
        m_holders[slot - 1].clear();
    }
    m_hostSettled = false;
    partHut();
    m_attestedHost.clear();
    m_reading.clear();
    m_answersUntil = m_restoreDue = -1;
    forgetAnswers();
    showPlaces();
}
