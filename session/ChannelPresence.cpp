// Who is in the lobby's channel, and who said what. The channel is public: a line that
// carries a player's name is believed only when it comes from that player.
#include "session/LobbySession.h"

#include "launch/HostAddress.h"
#include "protocol/RegistrationLines.h"

#include <algorithm>
#include <string_view>

bool LobbySession::saidInChannelBy(const InboundLine &line, QByteArrayView name) const
{
    return m_speakers.said(line.irc, name) && isPresent(name);
}

std::optional<QByteArrayView> LobbySession::presentSpeaker(const InboundLine &line) const
{
    const std::optional<QByteArrayView> name = m_speakers.speaker(line.irc);
    return name && isPresent(*name) ? name : std::nullopt;
}

void LobbySession::playerArrived(QByteArrayView ircNickname)
{
    const auto name = Speakers::lobbyName(ircNickname);
    if (name && !isMe(ircNickname))
        m_state.UserListText.arrived(*name);
}

// Keeps who is in the channel from the server's own reports: the names list on joining, then
// every join, part, kick, quit and change of nickname. A player who leaves holds no place.
bool LobbySession::PresenceRule(const InboundLine &line)
{
    const IrcLine &msg = line.irc;
    if (msg.command.size() != 3 && msg.command.size() != 4)
        return true;  // PRIVMSG, NOTICE and the like, most of what arrives
    if (msg.isCommand("353")) {  // me = #channel :names, or me #channel :names
        const IrcLine::Params p = msg.params();
        if (p.size() < 3 || !IrcLine::sameName(p[p.size() - 2], m_state.ChannelName))
            return true;
        const std::string_view names(p.last().data(), size_t(p.last().size()));
        for (size_t start = 0; start < names.size();) {
            const size_t blank = std::min(names.find(' ', start), names.size());
            const size_t nick = names.find_first_not_of("@+%&~!", start);  // channel status marks
            if (nick < blank)
                playerArrived(QByteArrayView(names.data() + nick, qsizetype(blank - nick)));
            start = blank + 1;
        }
    } else if (msg.isCommand("JOIN") && IrcLine::sameName(msg.param(0), m_state.ChannelName)) {
        const QByteArrayView sender = msg.senderNick();
        if (isMe(sender)) {
            m_state.UserListText.clear();  // the names list follows
            m_ownPrefixSize = msg.prefix.size();
            if (m_ownPrefixHost.isEmpty())  // told once a session: only a forwarded port lets others in
                if (const auto notice = HostAddress::hostNotice(QString::fromLatin1(m_socket.localIP()), msg.senderHost()))
                    m_view->appendChat(QStringLiteral(" -=%1=-").arg(*notice));
            m_ownPrefixHost = msg.senderHost().toByteArray();
            // Everybody answers this JOIN, in whatever order their lines arrive.
            m_state.Hut.openAnswers();
            AnswerWindow.start();
        }
        playerArrived(sender);
    } else if (msg.isCommand("PART") && IrcLine::sameName(msg.param(0), m_state.ChannelName)) {
        playerLeft(msg.senderNick());
    } else if (msg.isCommand("KICK") && IrcLine::sameName(msg.param(0), m_state.ChannelName)) {
        playerLeft(msg.param(1));
    } else if (msg.isCommand("QUIT")) {
        playerLeft(msg.senderNick());
    } else if (msg.isCommand("NICK")) {
        playerLeft(msg.senderNick());  // under another name, nothing said before is theirs
        playerArrived(msg.param(0));
    }
    return true;
}

void LobbySession::playerLeft(QByteArrayView ircNickname)
{
    m_state.UserListText.forgetAnswers(ircNickname);  // nobody to tell any more
    const auto left = Speakers::lobbyName(ircNickname);
    if (!left)
        return;  // held nothing here
    m_state.UserListText.left(*left);
    hutChanged(m_state.Hut.gone(*left));
}

void LobbySession::IgnorePlayer(const QByteArray &name, bool ignore)
{
    if (name.isEmpty() || ignore == m_speakers.isIgnored(name))
        return;
    m_speakers.ignore(name, ignore);
    if (ignore)  // his claims count no more; a member whose host he is leaves the hut
        hutChanged(m_state.Hut.gone(name, HutModel::Why::HostIgnored));
    m_shownUserList = ~quint64(0);  // his row says so at once
    Timer2_Timer();
}
