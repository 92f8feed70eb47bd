// Who is present: the refresh, the redraw, the presence lines, and the answers to those who
// come or ask. A newcomer learns everybody from answers sent to it alone, so the others'
// comings and goings cost the bystanders nothing; only while a client that follows the
// classic rules is in the channel does this one re-announce itself when somebody quits.
#include "session/LobbySession.h"

#include "protocol/LobbyCommands.h"
#include "protocol/WireText.h"

void LobbySession::Command2_Click()
{
    if (!m_socket.isConnected() || !m_life.inLobby())
        return;
    // Asks again and adds whoever answers; nobody here is taken off the list for it.
    sendLobbyCommand(LobbyCommands::getTavList(m_state.ChannelName), UserListQuery);
    m_view->appendChat(QStringLiteral(" -=Refreshing User List=-"));
}

void LobbySession::listChanged()
{
    if (m_state.UserListText.changes() != m_shownUserList && !Timer2.isActive())
        Timer2.start();
}

void LobbySession::Timer2_Timer()
{
    Timer2.stop();
    if (m_state.UserListText.changes() == m_shownUserList)
        return;  // the box already shows this list
    m_shownUserList = m_state.UserListText.changes();
    QList<LobbyView::UserRow> rows;
    for (const QByteArray &name : m_state.UserListText.rows())
        rows.append({name, WireText::decode(name), m_speakers.isIgnored(name)});
    m_view->setUserListRows(rows);
}

// This player's own arrival, to the whole channel: how the classic clients learn of it.
void LobbySession::announcePresence()
{
    if (m_socket.isConnected())  // else nothing goes out: no line to make
        sendLobbyCommand(LobbyCommands::tavList(m_state.ChannelName, m_state.Nickname), PresenceLine);
}

void LobbySession::answerPrivately(QByteArrayView ircNickname, bool presence, bool hutPlace)
{
    if (!m_socket.isConnected() || !m_life.inLobby() || ircNickname.isEmpty() || isMe(ircNickname))
        return;
    if (presence)
        m_state.UserListText.owe(LobbyMembers::Presence, ircNickname);
    if (hutPlace && m_state.Hut.MyHutSlot() > 0)
        m_state.UserListText.owe(LobbyMembers::HutPlace, ircNickname);
    m_socket.drainQueue();
}

QByteArray LobbySession::nextAnswer()
{
    const auto [kind, targets] = m_state.UserListText.nextAnswer(m_answerTargets);
    if (targets.isEmpty())
        return {};
    return kind == LobbyMembers::HutPlace ? LobbyCommands::tavHut1(targets, m_state.Nickname, m_state.Hut.MyHutSlot())
                                          : LobbyCommands::tavList(targets, m_state.Nickname);
}

// How many targets one PRIVMSG may have at no extra cost: InspIRCd says MAXTARGETS, others
// TARGMAX; ngircd says neither and holds a line to k targets k - 1 seconds, so one it is.
void LobbySession::readServerFeatures(const IrcLine &msg)
{
    for (QByteArrayView token : msg.params()) {
        QByteArrayView count;
        const qsizetype at = token.indexOf("PRIVMSG:");
        if (token.startsWith("MAXTARGETS=")) {
            count = token.sliced(11);
        } else if (token.startsWith("TARGMAX=") && at >= 0) {
            count = token.sliced(at + 8);
            if (const qsizetype comma = count.indexOf(','); comma >= 0)
                count = count.first(comma);
        } else {
            continue;
        }
        bool ok = false;
        const int n = count.toInt(&ok);
        m_answerTargets = count.isEmpty() ? MostAnswerTargets : ok && n > 0 ? std::min(n, MostAnswerTargets) : 1;
    }
}

bool LobbySession::GetTavListRule(const InboundLine &line)
{
    if (line.keys.has(LobbyCommands::KeyPlaces::GetTavList))
        answerPrivately(line.irc.senderNick(), true, false);
    return true;
}

bool LobbySession::TavListRule(const InboundLine &line)
{
    if (!line.keys.has(LobbyCommands::KeyPlaces::TavList))
        return true;
    const LobbyCommands::Field field = LobbyCommands::listField(line.raw, line.keys.at(LobbyCommands::KeyPlaces::TavList));
    if (field.status == LobbyCommands::Field::Absent)
        return true;
    // Said by the player it names, to the channel or to this player alone.
    if (field.status == LobbyCommands::Field::Failed
        || !m_speakers.said(line.irc, field.value, Speakers::Route::ChannelOrPrivate) || !isPresent(field.value))
        return false;
    const bool inChannel = IrcLine::sameName(line.irc.param(0), m_state.ChannelName);
    if (m_state.UserListText.announced(field.value, inChannel))
        reannounceForClassics();  // a client of the classic rules may just have emptied its list
    return true;
}

// Somebody quit the server (the presence rule has taken him off the list and freed his
// place). Classic clients empty their lists on any quit and rebuild them from announcements.
bool LobbySession::DepartureRule(const InboundLine &line)
{
    if (line.irc.isCommand("QUIT") && m_state.UserListText.classicPresent())
        reannounceForClassics();
    return true;
}

// As notices: classic clients take lobby lines from any line, this program takes
// announcements only from channel messages, so these are never taken for classic ones.
void LobbySession::reannounceForClassics()
{
    if (!m_socket.isConnected() || !m_life.inLobby())
        return;
    sendLobbyCommand(LobbyCommands::asNotice(LobbyCommands::tavList(m_state.ChannelName, m_state.Nickname)), ClassicPresence);
    HutReannouncement();
}

void LobbySession::HutReannouncement()
{
    if (m_state.Hut.MyHutSlot() > 0)
        sendLobbyCommand(LobbyCommands::asNotice(LobbyCommands::tavHut1(m_state.ChannelName, m_state.Nickname,
                                                                        m_state.Hut.MyHutSlot())), ClassicHut);
}

// Somebody joined the channel. This player's own join is announced to the channel; another
// player's is answered to him alone.
bool LobbySession::ArrivalRule(const InboundLine &line)
{
    if (!line.irc.isCommand("JOIN") || !IrcLine::sameName(line.irc.param(0), m_state.ChannelName))
        return true;
    const QByteArrayView who = line.irc.senderNick();
    if (isMe(who))
        announcePresence();
    else if (Speakers::lobbyName(who))
        answerPrivately(who, true, true);
    return true;
}

bool LobbySession::TavQuitRule(const InboundLine &line)
{
    if (!line.keys.has(LobbyCommands::KeyPlaces::TavQuit))
        return true;
    const LobbyCommands::Field field = LobbyCommands::quitField(line.raw, line.keys.at(LobbyCommands::KeyPlaces::TavQuit));
    if (field.status == LobbyCommands::Field::Absent)
        return true;
    if (field.status == LobbyCommands::Field::Failed || !saidInChannelBy(line, field.value))
        return false;
    m_state.UserListText.unlist(field.value);
    return true;
}
