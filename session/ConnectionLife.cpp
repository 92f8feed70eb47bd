#include "session/ConnectionLife.h"

#include <algorithm>

void ConnectionLife::connected()
{
    m_wasUp = true;
    m_loss = Loss::None;
    m_stage = Stage::Registering;
}

void ConnectionLife::welcomed()
{
    if (m_stage != Stage::Joined)  // a second welcome (462) while in: still in
        m_stage = Stage::Joining;
}

bool ConnectionLife::joined()
{
    const bool back = m_everJoined;
    m_everJoined = true;
    m_stage = Stage::Joined;
    m_reason.clear();
    m_lostSinceJoin = false;
    m_attempt = 0;
    m_nicknameRetries = 0;
    return back;
}

void ConnectionLife::kicked(const QString &reason)
{
    m_stage = Stage::Kicked;
    m_reason = reason;
}

void ConnectionLife::refused(const QString &reason)
{
    m_stage = Stage::Refused;
    m_reason = reason;
}

int ConnectionLife::lost(Loss how, double random01)
{
    if (ending())
        return -1;
    m_loss = how;
    if (!m_wasUp)
        return -1;  // never in: a server that cannot be reached at all is not hammered
    m_stage = Stage::Reconnecting;
    m_lostSinceJoin = true;
    // About 2, 4, 8, ... 60 s, each drawn from half to one and a half of its value, so the
    // players of a restarted server do not all come back in the same second.
    const int base = std::min(LongestWaitMs, FirstWaitMs << std::min(m_attempt, 5));
    ++m_attempt;
    return int(base * (0.5 + std::clamp(random01, 0.0, 1.0)));
}

bool ConnectionLife::nicknameTaken()
{
    if (m_lostSinceJoin && m_nicknameRetries < NicknameRetries) {
        ++m_nicknameRetries;
        return true;
    }
    m_stage = Stage::Refused;
    return false;
}

void ConnectionLife::closing()
{
    if (m_stage != Stage::Finished)
        m_stage = Stage::Closing;
}

QString ConnectionLife::caption(int socketState, const QString &nickname, const QString &lobby) const
{
    const QString title = QStringLiteral("Tavarine IRC Client, ");
    if (m_stage == Stage::Joined && socketState == 7)
        return title + QStringLiteral("Connected, Logged in As: ") + nickname + QStringLiteral(" in Lobby: ") + lobby;
    // Lost and not yet back: the caption says so until the link is up again.
    const Loss loss = m_stage == Stage::Reconnecting ? m_loss : Loss::None;
    if (loss == Loss::ClosedByServer || (loss == Loss::None && socketState == 8))
        return title + QStringLiteral("Dis-Connected (Server has kicked you)");
    if (loss == Loss::Error || socketState == 9)
        return title + QStringLiteral("Dis-Connected");
    switch (socketState) {
    case 6: return title + QStringLiteral("Connecting");
    case 7: return title + QStringLiteral("Connected, not in the lobby");
    default: return title + QStringLiteral("Not Connected");
    }
}
