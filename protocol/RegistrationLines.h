#pragma once

#include <QByteArray>

// The IRC lines of connecting, registering and staying connected, byte for byte.
namespace RegistrationLines {

inline constexpr char IrcNickSuffix[] = "OnTavNET";
inline constexpr char DomainToken[] = "tavarinenet.lobby";

QByteArray ircNickname(const QByteArray &nickname);
QByteArray nick(const QByteArray &nickname);
QByteArray user(const QByteArray &nickname, const QByteArray &localAddress);
QByteArray join(const QByteArray &channel);
QByteArray mode(const QByteArray &channel);
QByteArray pong(QByteArrayView token);
// Our own probe of a quiet link; any answer will do.
QByteArray ping(const QByteArray &token);

}  // namespace RegistrationLines
