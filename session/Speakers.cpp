#include "session/Speakers.h"

#include "launch/CommandLines.h"
#include "protocol/LobbyCommands.h"
#include "protocol/RegistrationLines.h"
#include "protocol/WireText.h"

Speakers::Speakers(const ServerInfo &server, const LobbyMembers &members, Outbox &out, QByteArray nickname, QByteArray channel)
    : m_server(server), m_members(members), m_out(out), m_nickname(std::move(nickname)), m_channel(std::move(channel)),
      m_ircNickname(RegistrationLines::ircNickname(m_nickname)), m_ignored(server), m_renamedIgnored(server),
      m_lastPopup{LastPopup(0, {&server}, {&server}), LastPopup(0, {&server}, {&server})}
{
}

void Speakers::classify(InboundLine &line) const
{
    if (!line.irc.isCommand("PRIVMSG"))
        return;
    const QByteArrayView target = line.irc.param(0);
    line.toChannel = m_server.sameName(target, m_channel);
    line.toMe = !line.toChannel && m_server.sameName(target, m_ircNickname);
    const std::optional<QByteArrayView> name = lobbyName(line.irc.senderNick());
    if ((line.toChannel || line.toMe) && name && !isIgnored(*name))
        line.sender = name;
}

bool Speakers::said(const InboundLine &line, QByteArrayView name, Route route) const
{
    return line.sender && (line.toChannel || route == Route::ChannelOrPrivate) && !name.isEmpty()
        && m_server.sameName(*line.sender, name) && m_members.contains(name);
}

std::optional<QByteArrayView> Speakers::presentSpeaker(const InboundLine &line) const
{
    return line.sender && line.toChannel && m_members.contains(*line.sender) ? line.sender : std::nullopt;
}

void Speakers::ignore(QByteArrayView name, bool ignored)
{
    if (ignored) {
        m_ignored.insert(name);
    } else {
        m_ignored.remove(name);
        m_renamedIgnored.remove(name);
    }
}

// An ignored player who takes another nickname is still the one ignored, in any letter case.
bool Speakers::PresenceRule(const InboundLine &line)
{
    if (line.irc.isCommand("JOIN") && isMe(line.irc.senderNick()) && m_server.sameName(line.irc.param(0), m_channel)) {
        m_ownPrefixSize = line.irc.prefix.size();
        m_moderated = false;  // in again: the names list and the 324 that follow tell
        m_ownMarks.clear();
    }
    if (!line.irc.isCommand("NICK"))
        return true;
    const auto from = lobbyName(line.irc.senderNick());
    const QByteArrayView toNick = line.irc.param(0);
    const auto to = lobbyName(toNick);
    if (from && isIgnored(*from)) {
        // A nickname outside the lobby's form is still him: kept under the bare nickname too.
        m_ignored.insert(to.value_or(toNick));
        m_renamedIgnored.insert(to.value_or(toNick));
    }
    return true;
}

void Speakers::refold()
{
    m_ignored.refold();
    m_renamedIgnored.refold();
    for (auto &last : m_lastPopup)
        FoldedName::refold(last, m_server);
}

void Speakers::reset(qint64)
{
    m_linkQuestionOpen = false;
    m_linkAnswerAlive = std::make_shared<bool>(true);  // an answer to the old question changes nothing
}

// Room for typed text in one TAVCHAT, so that the line every other client gets, with
// the server's ":nick!user@host " in front, fits an IRC line.
qsizetype Speakers::chatPieceBytes() const
{
    const qsizetype ircNick = m_ircNickname.size();
    // Until the server showed it (the own JOIN): "~" + the nickname as user, the longest host name.
    const qsizetype prefix = m_ownPrefixSize >= 0 ? m_ownPrefixSize : ircNick + 2 + ircNick + 1 + 63;
    return MaxRelayedLine - (1 + prefix + 1) - LobbyCommands::tavChat(m_channel, m_nickname, {}).size();
}

bool Speakers::Send_Click(const QString &text, bool inLobby)
{
    if (!m_out.connected() || !inLobby)
        return false;  // never shown as said where nobody hears it
    m_typedSinceRefusal = true;
    QString typed = text;
    typed.removeIf([](QChar c) { return c == u'\r' || c == u'\n' || c == u'\0'; });
    // Too long for one line: several, every word in order, none cut off by a server.
    const QString me = WireText::decode(m_nickname);
    for (const QByteArray &piece : LobbyCommands::chatPieces(typed, chatPieceBytes())) {
        m_out.send(LobbyCommands::tavChat(m_channel, m_nickname, piece));
        m_out.view().appendSaid(me, WireText::shownChat(WireText::decode(piece)));
    }
    return true;
}

// The server refused a line to the channel: told only when it was one the player typed.
bool Speakers::RefusedLineRule(const InboundLine &line)
{
    const IrcLine &msg = line.irc;
    if ((msg.isCommand("404") || msg.isCommand("442")) && m_server.sameName(msg.param(1), m_channel)
        && std::exchange(m_typedSinceRefusal, false)) {
        const IrcLine::Params &params = msg.params();
        m_out.view().appendChat(QStringLiteral(" -=Not sent: the server refused your line (%1)=-")
                                    .arg(WireText::shownChat(WireText::decode(params.last()))));
    }
    return true;
}

bool Speakers::ModeRule(const InboundLine &line)
{
    const IrcLine &msg = line.irc;
    if (!msg.isCommand("353") && !msg.isCommand("324") && !msg.isCommand("MODE"))
        return true;
    const IrcLine::Params &params = msg.params();
    if (msg.isCommand("353") && params.size() >= 4 && m_server.sameName(params[2], m_channel)) {
        IrcLine::forEachName(params[3], [&](QByteArrayView entry) {
            if (const QByteArrayView name = m_server.stripStatus(entry); !name.isEmpty() && isMe(name))
                m_ownMarks = entry.first(entry.size() - name.size()).toByteArray();
            return true;
        });
    } else if (msg.isCommand("324") && params.size() >= 3 && m_server.sameName(params[1], m_channel)) {
        m_moderated = false;  // the whole set of modes: no m, not moderated
        for (const ServerInfo::ModeChange &change : m_server.modeChanges(params, 2))
            if (change.mode == 'm')
                m_moderated = change.set;
    } else if (msg.isCommand("MODE") && params.size() >= 2 && m_server.sameName(params[0], m_channel)) {
        for (const ServerInfo::ModeChange &change : m_server.modeChanges(params, 1)) {
            if (change.mode == 'm')
                m_moderated = change.set;
            else if (change.mark && isMe(change.param) && !change.set)
                m_ownMarks.removeIf([&](char c) { return c == change.mark; });
            else if (change.mark && isMe(change.param) && !m_ownMarks.contains(change.mark))
                m_ownMarks.append(change.mark);
        }
    } else {
        return true;
    }
    if (m_toldMuted == maySpeak()) {  // told once each change
        m_toldMuted = !maySpeak();
        m_out.view().appendChat(m_toldMuted ? QStringLiteral(" -=The lobby is moderated: the channel does not hear you=-")
                                            : QStringLiteral(" -=The channel hears you again=-"));
    }
    return true;
}

bool Speakers::TavChatRule(const InboundLine &line, qint64)
{
    const LobbyCommands::Field chat = line.payload(LobbyCommands::TavChatKey, LobbyCommands::KeyPlaces::TavChat);
    if (chat.status != LobbyCommands::Field::Found)
        return chat.status == LobbyCommands::Field::Absent;
    const auto parts = LobbyCommands::splitNameAndValue(chat.value);
    const QByteArrayView speaker = parts ? parts->name : chat.value.first(std::max<qsizetype>(0, chat.value.indexOf('>')));
    if (speaker.isEmpty() || !said(line, speaker))
        return false;  // a line nobody can be shown to have said
    if (!m_out.viewed())
        return true;  // nobody looking: no text to make
    const QString text = WireText::shownChat(WireText::decode(parts ? parts->value : QByteArrayView()));
    m_out.view().appendSaid(WireText::decode(speaker), text);
    if (WireText::mentions(text, WireText::decode(m_nickname)))
        m_out.view().askAttention();
    return true;
}

bool Speakers::TavMsgRule(const InboundLine &line, qint64 nowMs)
{
    const LobbyCommands::Field message = line.payload(LobbyCommands::TavMsgKey, LobbyCommands::KeyPlaces::TavMsg);
    if (message.status != LobbyCommands::Field::Found)
        return message.status == LobbyCommands::Field::Absent;
    const std::optional<QByteArrayView> from = presentSpeaker(line);
    if (!from)
        return false;  // not a player's line in the channel: a topic, a notice, a private line, a quit reason
    if (!allowPopup(RoomMessage, *from, nowMs))
        return true;
    m_out.view().beep();
    m_out.view().showRoomMessage(WireText::decode(message.value) + QStringLiteral("\r\n\r\n"));
    return true;
}

bool Speakers::TavLnkRule(const InboundLine &line, qint64 nowMs)
{
    const LobbyCommands::Field link = line.payload(LobbyCommands::TavLnkKey, LobbyCommands::KeyPlaces::TavLnk);
    if (link.status != LobbyCommands::Field::Found)
        return link.status == LobbyCommands::Field::Absent;
    const std::optional<QByteArrayView> from = presentSpeaker(line);
    if (!from)
        return false;  // not a player's line in the channel
    const QString address = WireText::decode(link.value);
    // Never offered, or held back: as if answered No, and the line's other rules still run.
    if (!CommandLines::isSafeLink(address) || !allowPopup(LinkQuestion, *from, nowMs))
        return true;
    m_linkQuestionOpen = true;
    std::weak_ptr<bool> alive = m_linkAnswerAlive;
    m_out.view().askOpenLink(WireText::decode(*from), address, [this, alive, address](bool yes) {
        if (alive.expired())
            return;  // the session, or the question, is gone
        m_linkQuestionOpen = false;
        if (yes)
            m_out.view().openInBrowser(address);
    });
    return true;
}

// At most one room message and one link question a player per half minute; the rest are
// held back, and the chat box says how many, in one note however many came.
bool Speakers::allowPopup(Popup kind, QByteArrayView name, qint64 nowMs)
{
    auto &last = m_lastPopup[kind];
    if (last.size() > 1000)  // forget those long quiet, so a crowd of strangers costs no memory
        std::erase_if(last, [nowMs](const auto &entry) { return nowMs - entry.second >= PopupSpacingMs; });
    const auto found = last.find(FoldedName::view(name));
    const bool spaced = found == last.end() || nowMs - found->second >= PopupSpacingMs;
    if (spaced && !(kind == LinkQuestion && m_linkQuestionOpen)) {
        if (found != last.end())
            found->second = nowMs;
        else
            last.emplace(FoldedName::view(name), nowMs);
        return true;
    }
    ++m_held[kind];
    if (m_noteDue < 0)
        m_noteDue = nowMs + HeldBackNoteMs;
    return false;
}

void Speakers::due(qint64 nowMs)
{
    if (m_noteDue < 0 || nowMs < m_noteDue)
        return;
    m_noteDue = -1;
    const int messages = std::exchange(m_held[RoomMessage], 0);
    const int links = std::exchange(m_held[LinkQuestion], 0);
    if (messages + links > 0)
        m_out.view().appendChat(QStringLiteral(" -=Held back %1 room messages and %2 links (one of each a player per 30 s, one link question at a time)=-")
                                    .arg(messages).arg(links));
}
