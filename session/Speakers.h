#pragma once

#include "protocol/IrcLine.h"
#include "session/NameSet.h"

#include <QByteArray>

#include <optional>
#include <string>
#include <unordered_map>

// The one answer to "did this player say this, here?". The channel is public: a line
// that carries a player's name counts only when that player sent it, as a PRIVMSG to the
// lobby channel (or, for the kinds that allow it, to this player alone), and only while
// this player does not ignore him. Names compare one way everywhere: ASCII letters in
// either case, as the servers compare nicknames.
class Speakers {
public:
    // A room message window and a link question from one player, at most one of each this often.
    static constexpr qint64 PopupSpacingMs = 30000;

    enum class Route { Channel, ChannelOrPrivate };
    enum Popup { RoomMessage, LinkQuestion };

    Speakers(QByteArray channel, QByteArray ircNickname)
        : m_channel(std::move(channel)), m_ircNickname(std::move(ircNickname)) {}

    static bool sameName(QByteArrayView a, QByteArrayView b) { return IrcLine::sameName(a, b); }
    // The lobby name of an IRC nickname: without its ending. Other nicknames are nobody in the lobby.
    static std::optional<QByteArrayView> lobbyName(QByteArrayView ircNickname);

    // The lobby player who sent this line by the route given, unless ignored.
    std::optional<QByteArrayView> speaker(const IrcLine &line, Route route = Route::Channel) const;
    // The line was sent by the player it names, by the route given, and he is not ignored.
    bool said(const IrcLine &line, QByteArrayView name, Route route = Route::Channel) const;

    void ignore(QByteArrayView name, bool ignored);
    bool isIgnored(QByteArrayView name) const { return m_ignored.contains(name); }

    // May this player's room message or link reach the screen now?
    bool allowPopup(Popup kind, QByteArrayView name, qint64 nowMs);
    void holdBack(Popup kind) { ++m_held[kind]; }
    // How many of each kind were held back since last asked.
    std::pair<int, int> takeHeldBack() { return {std::exchange(m_held[0], 0), std::exchange(m_held[1], 0)}; }

private:
    QByteArray m_channel;
    QByteArray m_ircNickname;
    NameSet m_ignored;
    std::unordered_map<std::string, qint64, FoldedName::Hash, FoldedName::Equal> m_lastPopup[2];  // by name
    int m_held[2] = {0, 0};
};
