#include "protocol/RegistrationLines.h"

#include "protocol/LobbyCommands.h"
#include "protocol/ServerInfo.h"

namespace RegistrationLines {

QByteArray ircNickname(const QByteArray &nickname)
{
    return nickname + IrcNickSuffix;
}

QByteArray nick(const QByteArray &nickname)
{
    return "NICK " + ircNickname(nickname) + "\r\n";
}

QByteArray user(const QByteArray &nickname, const QByteArray &localAddress)
{
    return "USER " + ircNickname(nickname) + " \"" + DomainToken + "\" \"" + localAddress
        + "\" :TavUser\r\n";
}

QByteArray join(const QByteArray &channel)
{
    return "JOIN " + channel + "\r\n";
}

QByteArray mode(const QByteArray &channel)
{
    return "MODE " + channel + "\r\n";
}

// The token goes back: servers that get a bare PONG drop the client at the next ping timeout.
// A token cannot end the line early: a bare LF or NUL inside a received line stays out.
QByteArray pong(QByteArrayView token)
{
    return "PONG :" + LobbyCommands::withoutLineBreaks(token.toByteArray()) + "\r\n";
}

QByteArray ping(const QByteArray &token)
{
    return "PING :" + token + "\r\n";
}

}  // namespace RegistrationLines
