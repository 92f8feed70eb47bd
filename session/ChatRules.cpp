// Chat lines, room messages and posted links.
#include "session/LobbySession.h"

#include "launch/CommandLines.h"
#include "protocol/LobbyCommands.h"
#include "protocol/RegistrationLines.h"
#include "protocol/WireText.h"

#include <QPointer>

// Room for typed text in one TAVCHAT, so that the line every other client gets, with
// the server's ":nick!user@host " in front, fits an IRC line.
qsizetype LobbySession::chatPieceBytes() const
{
    const qsizetype ircNick = RegistrationLines::ircNickname(m_state.Nickname).size();
    // Until the server showed it (the own JOIN): "~" + the nickname as user, the longest host name.
    const qsizetype prefix = m_ownPrefixSize >= 0 ? m_ownPrefixSize : ircNick + 2 + ircNick + 1 + 63;
    return MaxRelayedLine - (1 + prefix + 1) - LobbyCommands::tavChat(m_state.ChannelName, m_state.Nickname, {}).size();
}

bool LobbySession::Send_Click(const QString &text)
{
    if (!m_socket.isConnected() || !m_life.inLobby())
        return false;  // never shown as said where nobody hears it
    m_typedSinceRefusal = true;
    QString typed = text;
    typed.removeIf([](QChar c) { return c == u'\r' || c == u'\n' || c == u'\0'; });
    // Too long for one line: several, every word in order, none cut off by a server.
    const QString me = WireText::decode(m_state.Nickname);
    for (const QByteArray &piece : LobbyCommands::chatPieces(typed, chatPieceBytes())) {
        sendLobbyCommand(LobbyCommands::tavChat(m_state.ChannelName, m_state.Nickname, piece));
        m_view->appendSaid(me, WireText::shownChat(WireText::decode(piece)));
    }
    return true;
}

bool LobbySession::TavChatRule(const InboundLine &line)
{
    const LobbyCommands::Field chat = line.payload(LobbyCommands::TavChatKey, LobbyCommands::KeyPlaces::TavChat);
    if (chat.status != LobbyCommands::Field::Found)
        return chat.status == LobbyCommands::Field::Absent;
    const auto said = LobbyCommands::splitNameAndValue(chat.value);
    const QByteArrayView speaker = said ? said->name : chat.value.first(std::max<qsizetype>(0, chat.value.indexOf('>')));
    if (speaker.isEmpty() || !saidInChannelBy(line, speaker))
        return false;  // a line nobody can be shown to have said
    if (m_view != &m_noView)  // nobody looking: no text to make
        m_view->appendSaid(WireText::decode(speaker), WireText::shownChat(WireText::decode(said ? said->value : QByteArrayView())));
    m_state.UserListText.relist(speaker);
    return true;
}

bool LobbySession::TavMsgRule(const InboundLine &line)
{
    const LobbyCommands::Field message = line.payload(LobbyCommands::TavMsgKey, LobbyCommands::KeyPlaces::TavMsg);
    if (message.status != LobbyCommands::Field::Found)
        return message.status == LobbyCommands::Field::Absent;
    const std::optional<QByteArrayView> from = presentSpeaker(line);
    if (!from)
        return false;  // not a player's line in the channel: a topic, a notice, a private line, a quit reason
    if (!allowPopup(Speakers::RoomMessage, *from))
        return true;
    m_view->beep();
    m_view->showRoomMessage(WireText::decode(message.value) + QStringLiteral("\r\n\r\n"));
    return true;
}

bool LobbySession::TavLnkRule(const InboundLine &line)
{
    const LobbyCommands::Field link = line.payload(LobbyCommands::TavLnkKey, LobbyCommands::KeyPlaces::TavLnk);
    if (link.status != LobbyCommands::Field::Found)
        return link.status == LobbyCommands::Field::Absent;
    const std::optional<QByteArrayView> from = presentSpeaker(line);
    if (!from)
        return false;  // not a player's line in the channel
    const QString address = WireText::decode(link.value);
    // Never offered, or held back: as if answered No, and the line's other rules still run.
    if (!CommandLines::isSafeLink(address))
        return true;
    if (!allowPopup(Speakers::LinkQuestion, *from))
        return true;
    m_linkQuestionOpen = true;
    QPointer<LobbySession> self(this);
    m_view->askOpenLink(WireText::decode(*from), address, [self, address](bool yes) {
        if (!self)
            return;
        self->m_linkQuestionOpen = false;
        if (yes)
            self->m_view->openInBrowser(address);
    });
    return true;
}

// At most one room message and one link question a player per half minute; the rest are
// held back, and the chat box says how many, in one note however many came.
bool LobbySession::allowPopup(Speakers::Popup kind, QByteArrayView name)
{
    const bool open = kind == Speakers::LinkQuestion && m_linkQuestionOpen;
    if (!open && m_speakers.allowPopup(kind, name, m_clock.elapsed()))
        return true;
    m_speakers.holdBack(kind);
    if (!HeldBackNote.isActive())
        HeldBackNote.start();
    return false;
}

void LobbySession::HeldBackNote_Timer()
{
    const auto [messages, links] = m_speakers.takeHeldBack();
    if (messages + links == 0)
        return;
    m_view->appendChat(QStringLiteral(" -=Held back %1 room messages and %2 links (one of each a player per 30 s, one link question at a time)=-")
                           .arg(messages).arg(links));
}
