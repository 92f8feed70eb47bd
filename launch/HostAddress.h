#pragma once

#include <QByteArrayView>
#include <QString>

#include <optional>

// Which address a member's game dials. The launch line carries the host's address as the host's
// machine sees it; behind a home router that is a private one, useless from elsewhere. The server
// saw the host at its public address, in the launch line's prefix, and saw this member at its own:
// equal public addresses mean one home network, where the private address is the right one.
namespace HostAddress {

// A dotted IPv4 address that can be reached across the Internet: not private (RFC 1918), shared
// (100.64.0.0/10), link-local, loopback, "this network", multicast or reserved.
bool isPublic(QStringView address);

// lineAddress: the launch line's address; senderHost and ownHost: the host parts of the launch
// line's prefix and of this member's own JOIN echo ("nick!user@host").
QString dial(const QString &lineAddress, QByteArrayView senderHost, QByteArrayView ownHost);

// What the host is told once, when its own address is private and the server sees it at a public
// one: only a forwarded port lets players from outside reach its game.
std::optional<QString> hostNotice(const QString &localAddress, QByteArrayView ownPrefixHost);

}  // namespace HostAddress
