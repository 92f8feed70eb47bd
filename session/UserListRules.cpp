// Who is present: the refresh, the rebuild, and the rules that fill and empty UserListText.
#include "session/LobbySession.h"

#include "protocol/LobbyCommands.h"
#include "protocol/WireText.h"

void LobbySession::Command2_Click()
{
    if (!m_socket.isConnected() || !m_life.inLobby())
        return;
    m_state.UserListText.clear();
    sendLobbyCommand(LobbyCommands::getTavList(m_state.ChannelName), UserListQuery);
    m_view->appendChat(QStringLiteral(" -=Refreshing User List=-"));
}

void LobbySession::Timer2_Timer()
{
    if (m_state.UserListText.changes() == m_shownUserList)
        return;  // the box already shows this list
    m_shownUserList = m_state.UserListText.changes();
    QList<LobbyView::UserRow> rows;
    for (const QByteArray &name : m_state.UserListText.rows())
        rows.append({name, WireText::decode(name), m_speakers.isIgnored(name)});
    m_view->setUserListRows(rows);
}

void LobbySession::announcePresence()
{
    if (m_socket.isConnected())  // else nothing goes out: no line to make
        sendLobbyCommand(LobbyCommands::tavList(m_state.ChannelName, m_state.Nickname), PresenceLine);
}

bool LobbySession::GetTavListRule(const InboundLine &line)
{
    if (line.keys.has(LobbyCommands::KeyPlaces::GetTavList))
        announcePresence();
    return true;
}

bool LobbySession::TavListRule(const InboundLine &line)
{
    if (!line.keys.has(LobbyCommands::KeyPlaces::TavList))
        return true;
    const LobbyCommands::Field field = LobbyCommands::listField(line.raw, line.keys.at(LobbyCommands::KeyPlaces::TavList));
    if (field.status == LobbyCommands::Field::Absent)
        return true;
    if (field.status == LobbyCommands::Field::Failed || !saidInChannelBy(line, field.value))
        return false;
    m_state.UserListText.add(field.value);
    return true;
}

// Somebody quit the server (the presence rule has freed their place): every client
// starts its list afresh from the announcements.
bool LobbySession::DepartureRule(const InboundLine &line)
{
    if (!line.irc.isCommand("QUIT"))
        return true;
    m_view->setUserListRows({});
    m_state.UserListText.clear();
    announcePresence();
    HutReannouncement();
    return true;
}

// Somebody (this user included) joined the channel: announce, so the newcomer learns who is here.
bool LobbySession::ArrivalRule(const InboundLine &line)
{
    if (!line.irc.isCommand("JOIN"))
        return true;
    announcePresence();
    HutReannouncement();
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
    m_state.UserListText.remove(field.value);
    return true;
}
