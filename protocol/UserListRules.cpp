// Who is present: the refresh, the rebuild, and the rules that fill and empty UserListText.
#include "core/LobbySession.h"

#include "core/WireText.h"
#include "protocol/IrcLine.h"
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
    m_socket.sendOnce(LobbyCommands::tavList(m_state.ChannelName, m_state.Nickname));
}

bool LobbySession::GetTavListRule(const QByteArray &line)
{
    if (line.contains(LobbyCommands::GetTavListKey))
        announcePresence();
    return true;
}

bool LobbySession::TavListRule(const QByteArray &line)
{
    const LobbyCommands::Field field = LobbyCommands::listField(line);
    if (field.status == LobbyCommands::Field::Found)
        UserList::addIfNotListed(m_state.UserListText, field.value);
    return field.status != LobbyCommands::Field::Failed;
}

// Somebody quit the server: every client starts its list afresh from the announcements.
bool LobbySession::DepartureRule(const IrcLine &msg)
{
    if (msg.command != "QUIT")
        return true;
    HutClearing();
    m_view->clearUserList();
    m_state.UserListText.clear();
    announcePresence();
    HutReannouncement();
    return true;
}

// Somebody (this user included) joined the channel: announce, so the newcomer learns who is here.
bool LobbySession::ArrivalRule(const IrcLine &msg)
{
    if (msg.command != "JOIN")
        return true;
    announcePresence();
    HutReannouncement();
    return true;
}

bool LobbySession::TavQuitRule(const QByteArray &line)
{
    const LobbyCommands::Field field = LobbyCommands::quitField(line);
    if (field.status == LobbyCommands::Field::Found)
        UserList::removeEntry(m_state.UserListText, field.value);
    return field.status != LobbyCommands::Field::Failed;
}
