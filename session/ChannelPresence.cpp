// Who is in the lobby's channel, and who said what. The channel is public: a line that
// carries a player's name is believed only when it comes from that player.
#include "session/LobbySession.h"

#include "protocol/RegistrationLines.h"

namespace {
QByteArray ircKey(QByteArrayView name)
{
    return IrcLine::nameKey(name) + IrcLine::nameKey(RegistrationLines::IrcNickSuffix);
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
    return m_present.contains(ircKey(name));
}

// Keeps m_present from the server's own reports: the names list on joining, then every
// join, part, kick, quit and change of nickname. A player who leaves holds no place.
bool LobbySession::PresenceRule(const InboundLine &line)
{
    const IrcLine &msg = line.irc;
    const QByteArrayView sender = msg.senderNick();
    const bool own = IrcLine::sameName(sender, RegistrationLines::ircNickname(m_state.Nickname));
    if (msg.isCommand("353")) {  // me = #channel :names, or me #channel :names
        const IrcLine::Params p = msg.params();
        if (p.size() < 3 || !IrcLine::sameName(p[p.size() - 2], m_state.ChannelName))
            return true;
        QByteArrayView names = p.last();
        while (!names.isEmpty()) {
            const qsizetype blank = names.indexOf(' ');
            QByteArrayView nick = blank < 0 ? names : names.first(blank);
            names = blank < 0 ? QByteArrayView() : names.sliced(blank + 1);
            while (!nick.isEmpty() && QByteArrayView("@+%&~!").contains(nick.front()))
                nick = nick.sliced(1);  // channel status marks
            if (!nick.isEmpty())
                m_present.insert(IrcLine::nameKey(nick));
        }
    } else if (msg.isCommand("JOIN") && IrcLine::sameName(msg.param(0), m_state.ChannelName)) {
        if (own) {
            m_present.clear();  // the names list follows
            m_ownPrefixSize = msg.prefix.size();
        }
        m_present.insert(IrcLine::nameKey(sender));
    } else if (msg.isCommand("PART") && IrcLine::sameName(msg.param(0), m_state.ChannelName)) {
        playerLeft(sender);
    } else if (msg.isCommand("KICK") && IrcLine::sameName(msg.param(0), m_state.ChannelName)) {
        playerLeft(msg.param(1));
    } else if (msg.isCommand("QUIT")) {
        playerLeft(sender);
    } else if (msg.isCommand("NICK") && m_present.contains(IrcLine::nameKey(sender))) {
        playerLeft(sender);  // under another name, nothing said before is theirs
        m_present.insert(IrcLine::nameKey(msg.param(0)));
    }
    return true;
}

void LobbySession::playerLeft(QByteArrayView ircNickname)
{
    m_present.remove(IrcLine::nameKey(ircNickname));
    const auto is = [ircNickname](QByteArrayView name) {
        return !name.isEmpty() && IrcLine::sameName(ircNickname, name, RegistrationLines::IrcNickSuffix);
    };
    for (int slot = 1; slot <= int(m_state.HutSlots.size()); ++slot)
        if (is(m_state.HutSlots[slot - 1]))
            freePlace(slot);
    if (is(m_hutHost.name()))
        m_hutHost.forget();
}
