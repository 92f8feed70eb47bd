#include "net/ServerAddress.h"

#include <QHostAddress>

namespace {
std::optional<ServerAddress> refuse(QString *why, const QString &reason)
{
    if (why)
        *why = reason;
    return std::nullopt;
}

bool isHostNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'-' || c == u'.' || c == u'_';
}
}  // namespace

std::optional<ServerAddress> ServerAddress::parse(QStringView text, QString *why)
{
    if (text.trimmed().isEmpty())
        return refuse(why, QStringLiteral("no server address given"));
    for (QChar c : text)
        if (c.isSpace())
            return refuse(why, QStringLiteral("a server address has no spaces in it"));
    ServerAddress address;
    if (const qsizetype scheme = text.indexOf(u"://"); scheme >= 0) {
        const QString name = text.left(scheme).toString().toLower();
        if (name != u"irc" && name != u"ircs")
            return refuse(why, QStringLiteral("unknown scheme \"%1\": use irc:// or ircs://").arg(text.left(scheme)));
        address.tls = name == u"ircs";
        address.port = address.tls ? TlsPort : PlainPort;
        text = text.sliced(scheme + 3);
    }
    if (text.contains(u'@'))
        return refuse(why, QStringLiteral("a server address holds no user name or password (nothing before \"@\")"));
    if (text.contains(u'/') || text.contains(u'?') || text.contains(u'#'))
        return refuse(why, QStringLiteral("a server address has no path: only a host and a port"));
    QStringView portText;
    bool hasPort = false;
    if (text.startsWith(u'[')) {
        const qsizetype close = text.indexOf(u']');
        const QHostAddress ip(close > 0 ? text.sliced(1, close - 1).toString() : QString());
        if (close < 0 || ip.protocol() != QAbstractSocket::IPv6Protocol)
            return refuse(why, QStringLiteral("\"%1\" is not an IPv6 address in brackets").arg(text.left(close < 0 ? text.size() : close + 1)));
        address.host = text.sliced(1, close - 1).toString();
        text = text.sliced(close + 1);
        if (!text.isEmpty() && !text.startsWith(u':'))
            return refuse(why, QStringLiteral("only \":PORT\" may follow an IPv6 address"));
        hasPort = !text.isEmpty();
        portText = text.mid(1);
    } else {
        if (text.count(u':') > 1)
            return refuse(why, QStringLiteral("an IPv6 address goes in brackets, as in [::1]:6697"));
        const qsizetype colon = text.indexOf(u':');
        hasPort = colon >= 0;
        address.host = (hasPort ? text.left(colon) : text).toString();
        portText = hasPort ? text.sliced(colon + 1) : QStringView();
        if (address.host.isEmpty())
            return refuse(why, QStringLiteral("the host name is missing"));
        for (QChar c : address.host)
            if (!isHostNameChar(c))
                return refuse(why, QStringLiteral("\"%1\" cannot be part of a host name").arg(c));
        if (address.host.startsWith(u'.') || address.host.startsWith(u'-') || address.host.contains(u".."))
            return refuse(why, QStringLiteral("\"%1\" is not a host name").arg(address.host));
    }
    if (hasPort) {
        bool digits = !portText.isEmpty() && portText.size() <= 5;
        for (QChar c : portText)
            digits = digits && c >= u'0' && c <= u'9';
        const uint port = digits ? portText.toUInt() : 0;
        if (port < 1 || port > 65535)
            return refuse(why, QStringLiteral("the port must be a number from 1 to 65535, not \"%1\"").arg(portText));
        address.port = quint16(port);
    }
    return address;
}

QString ServerAddress::hostAndPort() const
{
    return (isIPv6Literal() ? u'[' + host + u']' : host) + u':' + QString::number(port);
}

QString ServerAddress::toString() const
{
    const QString name = isIPv6Literal() ? u'[' + host + u']' : host;
    const QString where = port == (tls ? TlsPort : PlainPort) ? name : name + u':' + QString::number(port);
    return tls ? QStringLiteral("ircs://") + where : where;
}
