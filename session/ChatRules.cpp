// Chat lines, room messages and posted links.
#include "session/LobbySession.h"

#include "protocol/WireText.h"
#include "launch/CommandLines.h"
#include "launch/ProgramStarter.h"
#include "protocol/LobbyCommands.h"
#include "protocol/UserList.h"

#include <QPointer>

bool LobbySession::Send_Click(const QString &text)
{
    if (!m_socket.isConnected())
        return false;
    const QByteArray sent = LobbyCommands::withoutLineBreaks(WireText::encode(text));
    sendLobbyCommand(LobbyCommands::tavChat(m_state.ChannelName, m_state.Nickname, sent));
    m_view->appendChat(WireText::decode(m_state.Nickname + "> " + sent));
    return true;
}

bool LobbySession::TavChatRule(const InboundLine &line)
{
    const LobbyCommands::Field chat = line.payload(LobbyCommands::TavChatKey, LobbyCommands::KeyPlaces::TavChat);
    if (chat.status != LobbyCommands::Field::Found)
        return chat.status == LobbyCommands::Field::Absent;
    if (m_view != &m_noView)  // nobody looking: no text to make
        m_view->appendChat(WireText::decode(chat.value));
    const qsizetype gt = chat.value.indexOf('>');
    if (gt < 0)
        return false;
    UserList::addIfNotListed(m_state.UserListText, chat.value.first(gt));
    return true;
}

bool LobbySession::TavMsgRule(const InboundLine &line)
{
    const LobbyCommands::Field message = line.payload(LobbyCommands::TavMsgKey, LobbyCommands::KeyPlaces::TavMsg);
    if (message.status != LobbyCommands::Field::Found)
        return message.status == LobbyCommands::Field::Absent;
    m_view->beep();
    m_view->showRoomMessage(WireText::decode(message.value) + QStringLiteral("\r\n\r\n"));
    return true;
}

bool LobbySession::TavLnkRule(const InboundLine &line)
{
    const LobbyCommands::Field link = line.payload(LobbyCommands::TavLnkKey, LobbyCommands::KeyPlaces::TavLnk);
    if (link.status != LobbyCommands::Field::Found)
        return link.status == LobbyCommands::Field::Absent;
    const QString address = WireText::decode(link.value);
    if (!CommandLines::isSafeLink(address))
        return true;  // never offered: as if answered No, and the line's other rules still run
    QPointer<LobbySession> self(this);
    m_view->askOpenLink(address, [self, address](bool yes) {
        if (self && yes)
            self->openLink(address);
    });
    return true;
}

void LobbySession::openLink(const QString &address)
{
    ProgramStarter::start(CommandLines::link(address), ProgramStarter::WindowStyle::MinimizedFocus);
}
