// Registering, the channel's door (in, kicked, refused), the server's last word, and coming
// back by itself after a lost link. What the server says is what the player is told.
#include "session/LobbySession.h"

#include "protocol/RegistrationLines.h"
#include "protocol/WireText.h"

#include <QRandomGenerator>

namespace {
// The server's reason, as the chat shows text.
QString lastParam(const IrcLine &msg)
{
    const IrcLine::Params params = msg.params();
    return params.isEmpty() ? QString() : WireText::shownChat(WireText::decode(params.last()));
}

// Replies that refuse a JOIN: no such channel, too many channels, unavailable, full,
// invite only, banned, wrong key, bad name, registered nicknames only, secure clients only.
bool refusesJoin(const IrcLine &msg)
{
    for (const char *code : {"403", "405", "437", "471", "473", "474", "475", "476", "477", "489"})
        if (msg.isCommand(code))
            return true;
    return false;
}
}  // namespace

bool LobbySession::isMe(QByteArrayView ircNickname) const
{
    return IrcLine::sameName(ircNickname, m_state.Nickname, RegistrationLines::IrcNickSuffix);
}

bool LobbySession::RegistrationStep(const InboundLine &line)
{
    const IrcLine &msg = line.irc;
    if (msg.isCommand("NOTICE") && msg.param(0) == "AUTH") {
        sendRegistration();
        m_state.OutboundLog += "Re-Sent Nickname and User Details\r\n";
    } else if (msg.isCommand("001") || msg.isCommand("462")) {
        JoinStep();
    } else if (msg.isCommand("005")) {
        readServerFeatures(msg);
    } else if (msg.isCommand("432") || msg.isCommand("433")) {
        if (msg.isCommand("433") && m_life.nicknameTaken()) {
            // Back after a lost link, the old connection still holds the name until the server
            // times it out: ask again later.
            m_socket.abort();
            const int wait = m_life.lost(ConnectionLife::Loss::Error, QRandomGenerator::global()->generateDouble());
            m_view->appendChat(QStringLiteral(" -=Your nickname is still held by your old connection: trying again in %1 s=-")
                                   .arg((wait + 500) / 1000));
            Reconnect.start(wait);
            return false;
        }
        const IrcLine::Params params = msg.params();
        const QByteArray reason = params.size() >= 3
            ? params[1].toByteArray() + ": " + params.last().toByteArray()
            : (params.isEmpty() ? QByteArray() : params.last().toByteArray());
        m_view->showRegistrationRefused(WireText::decode(reason));
    }
    return true;
}

bool LobbySession::PingStep(const InboundLine &line)
{
    if (line.irc.isCommand("PING") && m_socket.isConnected())
        m_socket.sendFirst(RegistrationLines::pong(line.irc.param(0)));
    return true;
}

bool LobbySession::ChannelStateRule(const InboundLine &line)
{
    const IrcLine &msg = line.irc;
    if (msg.command.size() > 5 || msg.command.isEmpty())
        return true;  // PRIVMSG, most of what arrives
    const bool ours = IrcLine::sameName(msg.param(msg.command[0] >= '0' && msg.command[0] <= '9' ? 1 : 0), m_state.ChannelName);
    if (msg.isCommand("JOIN") && ours && isMe(msg.senderNick())) {
        const bool back = m_life.joined();
        m_view->showJoined();
        if (back)
            m_view->appendChat(QStringLiteral(" -=Back in the lobby=-"));
        else
            m_view->replaceChat(WelcomeLine);
        m_view->setCaption(caption());
        emit joined();
    } else if (msg.isCommand("KICK") && ours && isMe(msg.param(1))) {
        const QByteArrayView by = msg.senderNick();
        const QByteArrayView why = msg.param(2);
        QString reason = WireText::decode(Speakers::lobbyName(by).value_or(by)) + QStringLiteral(" put you out of the lobby");
        if (!why.isEmpty() && why != by)
            reason += QStringLiteral(": ") + WireText::shownChat(WireText::decode(why));
        m_life.kicked(reason);
        leftLobby(reason, true);
    } else if (refusesJoin(msg) && ours && !m_life.inLobby()) {
        const QString reason = QStringLiteral("The server did not let you into the lobby: ")
            + lastParam(msg);
        m_life.refused(reason);
        leftLobby(reason, true);
    } else if ((msg.isCommand("404") || msg.isCommand("442")) && ours && std::exchange(m_typedSinceRefusal, false)) {
        m_view->appendChat(QStringLiteral(" -=Not sent: the server refused your line (%1)=-")
                               .arg(lastParam(msg)));
    } else if (msg.isCommand("ERROR")) {  // the server's reason, before the link goes
        m_view->appendChat(QStringLiteral(" -=The server closes the connection: %1=-").arg(WireText::shownChat(WireText::decode(msg.param(0)))));
    }
    return true;
}

// Out of the channel: no place in the hut (the others freed it when they saw this player go),
// nobody listed, and the player told why in the chat box and on the Connection panel.
void LobbySession::leftLobby(const QString &reason, bool canRejoin)
{
    m_state.Hut = HutModel(m_state.Nickname);
    m_toldClaims.clear();
    m_socket.drop(ClassicHut);
    for (LobbyMembers::Answer kind : {LobbyMembers::Presence, LobbyMembers::HutPlace})
        m_state.UserListText.dropAnswers(kind);
    for (QTimer *timer : {&HostExitGrace, &AnswerWindow})
        timer->stop();
    showPlaces();
    m_state.UserListText.clear();
    m_view->setUserListRows({});
    m_shownUserList = m_state.UserListText.changes();
    m_view->appendChat(QStringLiteral(" -=") + reason + QStringLiteral("=-"));
    m_view->showOutOfLobby(reason, canRejoin);
    m_view->setCaption(caption());
}

void LobbySession::linkLost(ConnectionLife::Loss how)
{
    const int wait = m_life.lost(how, QRandomGenerator::global()->generateDouble());
    if (wait < 0)
        return;  // closing, or never connected: the caption says so
    leftLobby(QStringLiteral("The connection to the server was lost. Reconnecting in %1 s…").arg((wait + 500) / 1000), false);
    Reconnect.start(wait);
}

void LobbySession::Reconnect_Timer()
{
    Reconnect.stop();  // when called before its time
    if (!m_life.ending())
        m_socket.connectToServer();
}
