#pragma once

#include "protocol/ServerInfo.h"

#include <QByteArray>

#include <optional>

// The IRC lines of connecting, registering and staying connected, byte for byte.
namespace RegistrationLines {

inline constexpr char IrcNickSuffix[] = "OnTavNET";
inline constexpr char DomainToken[] = "tavarinenet.lobby";

QByteArray ircNickname(const QByteArray &nickname);
// The lobby name of an IRC nickname: without its ending. Other nicknames are nobody in the lobby.
// Asked of most lines, and of every name of a names list.
inline std::optional<QByteArrayView> lobbyName(QByteArrayView ircNickname, const ServerInfo &server)
{
    constexpr qsizetype suffix = sizeof(IrcNickSuffix) - 1;
    if (ircNickname.size() <= suffix || !server.sameName(ircNickname.last(suffix), IrcNickSuffix))
        return std::nullopt;
    return ircNickname.chopped(suffix);
}
QByteArray nick(const QByteArray &nickname);
QByteArray user(const QByteArray &nickname, const QByteArray &localAddress);
QByteArray join(const QByteArray &channel);
QByteArray mode(const QByteArray &channel);
QByteArray pong(QByteArrayView token);
// Our own probe of a quiet link; any answer will do.
QByteArray ping(const QByteArray &token);

}  // namespace RegistrationLines
