// Who is present: the refresh, the rebuild, and the rules that fill and empty UserListText.
#include "session/LobbySession.h"

#include "protocol/WireText.h"
#include "protocol/LobbyCommands.h"
#include "protocol/UserList.h"

void LobbySession::Command2_Click()
{
    if (!m_socket.isConnected())
        return;
    m_state.UserListText.clear();
    sendLobbyCommand(LobbyCommands::getTavList(m_state.ChannelName));
    m_view->appendChat(QStringLiteral(" -=Refreshing User List=-"));
}

void LobbySession::Timer2_Timer()
{
    QStringList rows;
    for (const QByteArray &row : UserList::rows(m_state.UserListText))
        rows.append(WireText::decode(row));
    m_view->setUserListRows(rows);
}

void LobbySession::announcePresence()
{
    if (m_socket.isConnected())  // else nothing goes out: no line to make
        m_socket.sendOnce(LobbyCommands::tavList(m_state.ChannelName, m_state.Nickname));
}

bool LobbySession::GetTavListRule(const InboundLine &line)
{
    if (line.keys.has(LobbyCommands::KeyPlaces::GetTavList))
        announcePresence();
    return true;
}

bool LobbySession::TavListRule(const InboundLine &line)
{
    const LobbyCommands::Field field = LobbyCommands::listField(line.raw, line.keys.at(LobbyCommands::KeyPlaces::TavList));
    if (field.status == LobbyCommands::Field::Found)
        UserList::addIfNotListed(m_state.UserListText, field.value);
    return field.status != LobbyCommands::Field::Failed;
}

// Somebody quit the server: every client starts its list afresh from the announcements.
bool LobbySession::DepartureRule(const InboundLine &line)
{
    if (!line.irc.isCommand("QUIT"))
        return true;
    HutClearing();
    m_view->clearUserList();
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
    const LobbyCommands::Field field = LobbyCommands::quitField(line.raw, line.keys.at(LobbyCommands::KeyPlaces::TavQuit));
    if (field.status == LobbyCommands::Field::Found)
        UserList::removeEntry(m_state.UserListText, field.value);
    return field.status != LobbyCommands::Field::Failed;
}
