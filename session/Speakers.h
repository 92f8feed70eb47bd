#pragma once

#include "protocol/RegistrationLines.h"
#include "protocol/ServerInfo.h"
#include "session/InboundLine.h"
#include "session/LobbyMembers.h"
#include "session/NameSet.h"
#include "session/Outbox.h"

#include <QByteArray>

#include <optional>
#include <string>
#include <unordered_map>

// Who may speak, and how: the one answer to "did this player say this, here?", the ignore
// set, chat, room messages and posted links. The channel is public: a line that carries a
// player's name counts only when that player sent it, as a PRIVMSG to the lobby channel
// (or, for the kinds that allow it, to this player alone), while he is in the channel and
// this player does not ignore him. Room messages and links are rationed per player.
class Speakers {
public:
    // A room message window and a link question from one player, at most one of each this often.
    static constexpr qint64 PopupSpacingMs = 30000;
    // Held-back room messages and links are told in one note this long after the first.
    static constexpr qint64 HeldBackNoteMs = 5000;
    // What an IRC server relays at most, CR LF included.
    static constexpr qsizetype MaxRelayedLine = 512;

    enum class Route { Channel, ChannelOrPrivate };
    enum Popup { RoomMessage, LinkQuestion };

    Speakers(const ServerInfo &server, const LobbyMembers &members, Outbox &out, QByteArray nickname, QByteArray channel);

    std::optional<QByteArrayView> lobbyName(QByteArrayView ircNickname) const
    {
        return RegistrationLines::lobbyName(ircNickname, m_server);
    }
    bool isMe(QByteArrayView ircNickname) const { return m_server.sameName(ircNickname, m_ircNickname); }

    // Finds who sent the line, and to where, once for all the rules.
    void classify(InboundLine &line) const;
    // The line was sent by the player it names, by the route given, he is not ignored and he
    // is in the channel.
    bool said(const InboundLine &line, QByteArrayView name, Route route = Route::Channel) const;

    // False while the channel is moderated (+m) and this player has neither voice nor any
    // higher status: the server refuses what he sends to it (404).
    bool maySpeak() const { return !m_moderated || !m_ownMarks.isEmpty(); }

    void ignore(QByteArrayView name, bool ignored);
    bool isIgnored(QByteArrayView name) const { return m_ignored.contains(name); }
    // The ignore came along with a change of nickname.
    bool ignoreFollowedRename(QByteArrayView name) const { return m_renamedIgnored.contains(name); }

    // Timing, with the time passed in: the held-back note.
    qint64 nextDue() const { return m_noteDue; }
    void due(qint64 nowMs);
    void refold();  // the server said how it folds names
    void reset(qint64 nowMs);  // out of the channel: no link question is waiting

    // The player's own line: false (nothing sent or shown) while not in the lobby.
    bool Send_Click(const QString &text, bool inLobby);

    // Rules (the session's table points here); false ends the handling of the line.
    // This player's own JOIN shows how the server relays its lines; an ignored player's
    // NICK carries the ignore along.
    bool PresenceRule(const InboundLine &line);
    bool RefusedLineRule(const InboundLine &line);
    // 324, MODE and the names list: is the channel moderated, and what status has this player?
    bool ModeRule(const InboundLine &line);
    bool TavChatRule(const InboundLine &line, qint64 nowMs);
    bool TavMsgRule(const InboundLine &line, qint64 nowMs);
    bool TavLnkRule(const InboundLine &line, qint64 nowMs);

private:
    // May this player's room message or link reach the screen now? Else it is counted for the note.
    bool allowPopup(Popup kind, QByteArrayView name, qint64 nowMs);
    std::optional<QByteArrayView> presentSpeaker(const InboundLine &line) const;
    qsizetype chatPieceBytes() const;

    const ServerInfo &m_server;
    const LobbyMembers &m_members;
    Outbox &m_out;
    QByteArray m_nickname;
    QByteArray m_channel;
    QByteArray m_ircNickname;
    NameSet m_ignored;
    NameSet m_renamedIgnored;  // reached by a rename, so the row can say so
    using LastPopup = std::unordered_map<std::string, qint64, FoldedName::Hash, FoldedName::Equal>;
    LastPopup m_lastPopup[2];  // by Popup, by name
    int m_held[2] = {0, 0};
    qint64 m_noteDue = -1;
    bool m_linkQuestionOpen = false;
    std::shared_ptr<bool> m_linkAnswerAlive = std::make_shared<bool>(true);
    bool m_typedSinceRefusal = false;  // a typed line went out since the server last refused one
    qsizetype m_ownPrefixSize = -1;    // "nick!user@host" as the server relays this player's lines
    bool m_moderated = false;
    QByteArray m_ownMarks;             // this player's status marks in the channel ("@", "+", ...)
    bool m_toldMuted = false;          // what the chat box last said of it
};
