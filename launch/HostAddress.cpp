#include "launch/HostAddress.h"

#include "launch/CommandLines.h"

#include <QStringList>

namespace HostAddress {
namespace {
std::optional<quint32> toNumber(QStringView address)
{
    if (!CommandLines::isDottedIPv4(address))
        return std::nullopt;
    quint32 n = 0;
    for (QStringView part : address.split(u'.'))
        n = n << 8 | quint32(part.toUInt());
    return n;
}

bool within(quint32 address, quint32 network, int bits)
{
    return (address ^ network) >> (32 - bits) == 0;
}

QString text(QByteArrayView host)
{
    return QString::fromLatin1(host);
}
}  // namespace

bool isPublic(QStringView address)
{
    const std::optional<quint32> a = toNumber(address);
    if (!a)
        return false;
    constexpr struct {
        quint32 network;
        int bits;
    } notPublic[] = {{0x00000000, 8},  {0x0A000000, 8},  {0x64400000, 10}, {0x7F000000, 8},
                     {0xA9FE0000, 16}, {0xAC100000, 12}, {0xC0A80000, 16}, {0xE0000000, 3}};
    for (const auto &range : notPublic)
        if (within(*a, range.network, range.bits))
            return false;
    return true;
}

QString dial(const QString &lineAddress, QByteArrayView senderHost, QByteArrayView ownHost)
{
    if (isPublic(lineAddress) || !isPublic(text(senderHost)) || senderHost == ownHost)
        return lineAddress;
    return text(senderHost);
}

std::optional<QString> hostNotice(const QString &localAddress, QByteArrayView ownPrefixHost)
{
    if (!CommandLines::isDottedIPv4(localAddress) || isPublic(localAddress) || !isPublic(text(ownPrefixHost)))
        return std::nullopt;
    return QStringLiteral("Players outside your network will reach your game at %1 only if your router forwards the game's port to %2.")
        .arg(text(ownPrefixHost), localAddress);
}

}  // namespace HostAddress
