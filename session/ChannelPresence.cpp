// Who is in the lobby's channel, and who said what. The channel is public: a line that
// carries a player's name is believed only when it comes from that player.
#include "session/LobbySession.h"

#include "protocol/RegistrationLines.h"

#include <algorithm>
#include <string_view>

namespace {
// The lobby name of an IRC nickname: without its ending. Other nicknames are nobody in the lobby.
std::optional<QByteArrayView> lobbyName(QByteArrayView ircNickname)
{
    const QByteArrayView suffix(RegistrationLines::IrcNickSuffix);
    if (ircNickname.size() <= suffix.size() || !IrcLine::sameName(ircNickname.last(suffix.size()), suffix))
        return std::nullopt;
    return ircNickname.chopped(suffix.size());
}
}  // namespace

bool LobbySession::saidInChannelBy(const InboundLine &line, QByteArrayView name) const
{
    return !name.isEmpty() && line.irc.isCommand("PRIVMSG")
        && IrcLine::sameName(line.irc.param(0), m_state.ChannelName)
        && IrcLine::sameName(line.irc.senderNick(), name, RegistrationLines::IrcNickSuffix);
}

bool LobbySession::isPresent(QByteArrayView name) const
{
    return m_present.contains(name);
}

void LobbySession::playerArrived(QByteArrayView ircNickname)
{
    if (const auto name = lobbyName(ircNickname))
        m_present.insert(*name);
}

// Keeps m_present from the server's own reports: the names list on joining, then every
// join, part, kick, quit and change of nickname. A player who leaves holds no place.
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
        if (IrcLine::sameName(sender, m_state.Nickname, RegistrationLines::IrcNickSuffix)) {
            m_present.clear();  // the names list follows
            m_ownPrefixSize = msg.prefix.size();
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
    const auto left = lobbyName(ircNickname);
    if (!left)
        return;  // held nothing here
    m_present.remove(*left);
    const auto is = [left](QByteArrayView name) { return !name.isEmpty() && IrcLine::sameName(name, *left); };
    for (int slot = 1; slot <= int(m_state.HutSlots.size()); ++slot)
        if (is(m_state.HutSlots[slot - 1]))
            freePlace(slot);
    if (is(m_hutHost.name()))
        m_hutHost.forget();
}
