// Registering, the channel's door (in, kicked, refused), the server's last word, and coming
// back by itself after a lost link. What the server says is what the player is told.
#include "session/ConnectionLife.h"

#include "protocol/RegistrationLines.h"
#include "protocol/WireText.h"

#include <QRandomGenerator>

#include <algorithm>

namespace {
// The server's reason, as the chat shows text.
QString lastParam(const IrcLine &msg)
{
    const IrcLine::Params &params = msg.params();
    return params.isEmpty() ? QString() : WireText::shownChat(WireText::decode(params.last()));
}

// Replies that refuse a JOIN: no such channel, too many channels, unavailable, full,
// invite only, banned, wrong key, bad name, registered nicknames only, secure clients only.
bool refusesJoin(const IrcLine &msg)
{
    static constexpr IrcLine::Name refusals[] = {"403", "405", "437", "471", "473", "474", "475", "476", "477", "489"};
    for (const IrcLine::Name code : refusals)
        if (msg.isCommand(code))
            return true;
    return false;
}
}  // namespace

ConnectionLife::ConnectionLife(const ServerInfo &server, Outbox &out, QByteArray nickname, QByteArray channel)
    : m_server(server), m_out(out), m_nickname(std::move(nickname)), m_ircNickname(RegistrationLines::ircNickname(m_nickname)),
      m_channel(std::move(channel))
{
}

void ConnectionLife::setServers(const QList<ServerAddress> &servers)
{
    if (!servers.isEmpty())
        m_servers = servers;
    m_current = m_working = 0;
    m_failures.clear();
}

bool ConnectionLife::failOver(const QString &why)
{
    m_failures.append(server().toString() + QStringLiteral(": ") + why);
    if (ending() || m_failures.size() >= m_servers.size()) {
        if (!m_wasUp && !ending())  // never in: the player is told why, and nothing is hammered
            emit leftLobby(QStringLiteral("No server could be reached (%1)").arg(m_failures.join(QStringLiteral("; "))), false);
        m_failures.clear();
        m_current = m_working;
        return false;
    }
    m_current = (m_current + 1) % m_servers.size();
    m_log += "Trying " + server().toString().toUtf8() + "\r\n";
    return true;
}

void ConnectionLife::retry(const ServerAddress &to)
{
    if (ending() || inLobby() || !m_servers.contains(to))
        return;
    m_current = m_servers.indexOf(to);
    m_failures.clear();
    m_reconnectDue = -1;
    emit reconnectNow();
}

void ConnectionLife::setStage(Stage stage)
{
    if (std::exchange(m_stage, stage) != stage)
        emit stageChanged(stage);
}

void ConnectionLife::socketState(int state)
{
    if (std::exchange(m_socketState, state) != state)
        emit stageChanged(m_stage);  // the caption reads the socket's state too
}

void ConnectionLife::connected()
{
    m_wasUp = true;
    m_failures.clear();
    m_working = m_current;
    m_loss = Loss::None;
    m_standIn.clear();
    setStage(Stage::Registering);
    sendRegistration();
    m_log += "Sent Nickname and User Details\r\n";
}

void ConnectionLife::sendRegistration()
{
    m_out.send(RegistrationLines::nick(m_nickname));
    m_out.send(RegistrationLines::user(m_nickname, m_out.localIP()));
}

void ConnectionLife::welcomed()
{
    if (m_stage != Stage::Joined)  // a second welcome (462) while in: still in
        setStage(Stage::Joining);
}

bool ConnectionLife::joined()
{
    const bool back = m_everJoined;
    m_everJoined = true;
    m_reason.clear();
    m_lostSinceJoin = false;
    m_attempt = 0;
    m_nicknameRetries = 0;
    setStage(Stage::Joined);
    return back;
}

void ConnectionLife::kicked(const QString &reason)
{
    m_reason = reason;
    setStage(Stage::Kicked);
}

void ConnectionLife::refused(const QString &reason)
{
    m_reason = reason;
    setStage(Stage::Refused);
}

int ConnectionLife::lost(Loss how, double random01, qint64 nowMs)
{
    if (ending())
        return -1;
    m_loss = how;
    if (!m_wasUp) {
        emit stageChanged(m_stage);
        return -1;  // never in: a server that cannot be reached at all is not hammered
    }
    m_lostSinceJoin = true;
    // About 2, 4, 8, ... 60 s, each drawn from half to one and a half of its value, so the
    // players of a restarted server do not all come back in the same second.
    const int base = std::min(LongestWaitMs, FirstWaitMs << std::min(m_attempt, 5));
    ++m_attempt;
    const int wait = int(base * (0.5 + std::clamp(random01, 0.0, 1.0)));
    m_reconnectDue = nowMs + wait;
    setStage(Stage::Reconnecting);
    emit stageChanged(m_stage);  // the loss changes the caption even when the stage stays
    return wait;
}

bool ConnectionLife::nicknameTaken()
{
    if (m_lostSinceJoin && m_nicknameRetries < NicknameRetries) {
        ++m_nicknameRetries;
        return true;
    }
    setStage(Stage::Refused);
    return false;
}

void ConnectionLife::closing()
{
    m_reconnectDue = -1;
    if (m_stage != Stage::Finished)
        setStage(Stage::Closing);
}

void ConnectionLife::finished()
{
    setStage(Stage::Finished);
}

void ConnectionLife::due(qint64 nowMs)
{
    if (m_reconnectDue < 0 || nowMs < m_reconnectDue)
        return;
    m_reconnectDue = -1;
    if (!ending())
        emit reconnectNow();
}

QString ConnectionLife::caption() const
{
    const QString title = QStringLiteral("Tavarine IRC Client, ");
    if (m_stage == Stage::Joined && m_socketState == 7)
        return title + QStringLiteral("Connected, Logged in As: ") + WireText::decode(m_nickname)
            + QStringLiteral(" in Lobby: ") + WireText::decode(m_channel.right(1));
    // Lost and not yet back: the caption says so until the link is up again.
    const Loss loss = m_stage == Stage::Reconnecting || !m_wasUp ? m_loss : Loss::None;
    if (loss == Loss::ClosedByServer || (loss == Loss::None && m_socketState == 8))
        return title + QStringLiteral("Dis-Connected (Server has kicked you)");
    if (loss == Loss::Error || m_socketState == 9)
        return title + QStringLiteral("Dis-Connected");
    switch (m_socketState) {
    case 6: return title + QStringLiteral("Connecting");
    case 7: return title + QStringLiteral("Connected, not in the lobby");
    default: return title + QStringLiteral("Not Connected");
    }
}

void ConnectionLife::joinChannel()
{
    welcomed();
    m_out.send(RegistrationLines::join(m_channel));
}

void ConnectionLife::Rejoin_Click()
{
    if (!m_out.connected() || inLobby() || ending() || !m_standIn.isEmpty())
        return;
    joinChannel();
}

void ConnectionLife::socketLost(Loss how, qint64 nowMs)
{
    const int wait = lost(how, QRandomGenerator::global()->generateDouble(), nowMs);
    if (wait < 0)
        return;  // closing, or never connected: the caption says so
    m_out.view().askAttention();
    emit leftLobby(QStringLiteral("The connection to the server was lost. Reconnecting in %1 s…").arg((wait + 500) / 1000), false);
}

void ConnectionLife::askWhoHolds()
{
    // As long as the nickname, so within the server's limit, and never in the lobby's form:
    // nobody takes it for a player.
    m_standIn = m_ircNickname.chopped(1) + char('0' + QRandomGenerator::global()->bounded(10));
    m_holderHost.clear();
    m_out.send("NICK " + m_standIn + "\r\n");
}

// The old connection of this player (the same address) lets the name go when the server
// times it out; another user may hold it for good: either way it is asked for again later.
void ConnectionLife::heldBy(QByteArrayView host, qint64 nowMs)
{
    m_standIn.clear();
    const bool squatted = !host.isEmpty() && !m_ownHost.isEmpty() && host.compare(m_ownHost, Qt::CaseInsensitive) != 0;
    if (!squatted && !nicknameTaken()) {
        emit abortNow();
        m_out.view().showRegistrationRefused(QStringLiteral("Your nickname is still held by your old connection"));
        return;
    }
    emit abortNow();
    const int wait = lost(Loss::Error, QRandomGenerator::global()->generateDouble(), nowMs);
    const int s = (wait + 500) / 1000;
    m_out.view().appendChat(squatted ? QStringLiteral(" -=Not back: another user (%1) has taken your nickname; trying again in %2 s=-")
                                           .arg(WireText::shownChat(WireText::decode(host)))
                                           .arg(s)
                                     : QStringLiteral(" -=Your nickname is still held by your old connection: trying again in %1 s=-").arg(s));
}

bool ConnectionLife::RegistrationStep(const InboundLine &line, qint64 nowMs)
{
    const IrcLine &msg = line.irc;
    if (!m_standIn.isEmpty()) {  // in under the stand-in: only the answer counts
        if (msg.isCommand("001"))
            m_out.send("WHOIS " + m_ircNickname + "\r\n");
        else if (msg.isCommand("311") && isMe(msg.param(1)))
            m_holderHost = msg.param(3).toByteArray();
        else if (msg.isCommand("318") || msg.isCommand("401") || msg.isCommand("433") || msg.isCommand("432"))
            heldBy(m_holderHost, nowMs);  // no holder any more, or no stand-in: tried again as an old connection
        return msg.isCommand("PING");
    }
    if (msg.isCommand("NOTICE") && msg.param(0) == "AUTH") {
        sendRegistration();
        m_log += "Re-Sent Nickname and User Details\r\n";
    } else if (msg.isCommand("001") || msg.isCommand("462")) {
        joinChannel();
        m_out.send(RegistrationLines::mode(m_channel));
        m_log += "Joining channel\r\n";
    } else if (msg.isCommand("433") && m_lostSinceJoin && m_stage != Stage::Joined) {
        askWhoHolds();
        return false;
    } else if (msg.isCommand("432") || msg.isCommand("433")) {
        if (msg.isCommand("433"))
            setStage(Stage::Refused);
        const IrcLine::Params &params = msg.params();
        const QByteArray reason = params.size() >= 3
            ? params[1].toByteArray() + ": " + params.last().toByteArray()
            : (params.isEmpty() ? QByteArray() : params.last().toByteArray());
        m_out.view().showRegistrationRefused(WireText::decode(reason));
    }
    return true;
}

bool ConnectionLife::PingStep(const InboundLine &line)
{
    if (line.irc.isCommand("PING") && m_out.connected())
        m_out.send(RegistrationLines::pong(line.irc.param(0)), Typed, true);
    return true;
}

bool ConnectionLife::ChannelStateRule(const InboundLine &line)
{
    const IrcLine &msg = line.irc;
    if (msg.command.size() > 5 || msg.command.isEmpty())
        return true;  // numerics and the few short commands are all it reads
    const bool numeric = msg.command[0] >= '0' && msg.command[0] <= '9';
    const auto ours = [&] { return m_server.sameName(msg.param(numeric ? 1 : 0), m_channel); };
    if (msg.isCommand("JOIN") && isMe(msg.senderNick()) && ours()) {
        m_ownHost = msg.senderHost().toByteArray();
        const bool back = joined();
        m_out.view().showJoined();
        if (back)
            m_out.view().appendChat(QStringLiteral(" -=Back in the lobby=-"));
        else
            m_out.view().replaceChat(WelcomeLine);
        emit joinedLobby();
    } else if (msg.isCommand("KICK") && isMe(msg.param(1)) && ours()) {
        const QByteArrayView by = msg.senderNick();
        const QByteArrayView why = msg.param(2);
        QString reason = WireText::decode(RegistrationLines::lobbyName(by, m_server).value_or(by)) + QStringLiteral(" put you out of the lobby");
        // A kick without a reason carries the kicker's name: nothing more to say then.
        if (!why.isEmpty() && !m_server.sameName(why, by))
            reason += QStringLiteral(": ") + WireText::shownChat(WireText::decode(why));
        kicked(reason);
        m_out.view().askAttention();
        emit leftLobby(reason, true);
    } else if (numeric && !inLobby() && refusesJoin(msg) && ours()) {
        const QString reason = QStringLiteral("The server did not let you into the lobby: ") + lastParam(msg);
        refused(reason);
        emit leftLobby(reason, true);
    } else if (msg.isCommand("ERROR")) {  // the server's reason, before the link goes
        m_out.view().appendChat(QStringLiteral(" -=The server closes the connection: %1=-").arg(WireText::shownChat(WireText::decode(msg.param(0)))));
    }
    return true;
}
