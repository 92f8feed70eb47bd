#include "launch/CommandLines.h"

#include <QStringList>
#include <QUrl>

namespace CommandLines {

QString host(const QString &nickname, const QString &localAddress)
{
    return QStringLiteral("gxexec.exe tav3.exe /h tcp /n") + nickname + QStringLiteral(" /boundip ") + localAddress;
}

QString joiner(const QString &hostAddress, const QString &nickname, const QString &localAddress)
{
    return QStringLiteral("gxexec.exe tav3.exe /j tcp ") + hostAddress + QStringLiteral(" /n") + nickname
        + QStringLiteral(" /boundip ") + localAddress;
}

bool isSafeLink(QStringView address)
{
    const qsizetype scheme = address.startsWith(u"http://") ? 7 : address.startsWith(u"https://") ? 8 : 0;
    if (scheme == 0)
        return false;
    // Printable ASCII only: no blank, quote, control, direction override or look-alike letter,
    // so the address shown is the address opened.
    for (QChar c : address)
        if (c.unicode() <= 0x20 || c.unicode() >= 0x7f || QStringView(u"\"'<>\\^`{|}").contains(c))
            return false;
    // Nor hidden in escapes: only printable ASCII may be escaped.
    for (qsizetype at = address.indexOf(u'%'); at >= 0; at = address.indexOf(u'%', at + 1)) {
        bool ok = false;
        const int byte = address.mid(at + 1, 2).toInt(&ok, 16);
        if (!ok || address.mid(at + 1, 2).size() != 2 || byte <= 0x20 || byte >= 0x7f)
            return false;
    }
    // "http://good.test@other.test/" opens other.test.
    const QStringView rest = address.sliced(scheme);
    qsizetype hostEnd = 0;
    while (hostEnd < rest.size() && !QStringView(u"/?#").contains(rest[hostEnd]))
        ++hostEnd;
    const QStringView authority = rest.first(hostEnd);
    return !authority.isEmpty() && !authority.contains(u'@');
}

bool isDottedIPv4(QStringView address)
{
    const QList<QStringView> parts = address.split(u'.');
    if (parts.size() != 4)
        return false;
    for (QStringView p : parts) {
        if (p.isEmpty() || p.size() > 3)
            return false;
        for (QChar c : p)
            if (c < u'0' || c > u'9')
                return false;
        if (p.toInt() > 255)
            return false;
    }
    return true;
}

LinkParts splitLink(const QString &address)
{
    const QUrl url(address);  // read as the browser is handed it
    QString host = url.host(QUrl::EncodeUnicode);
    if (!url.isValid() || host.isEmpty())
        return {QString(), address};  // no host to show: the whole text is the rest
    if (host.contains(u':'))
        host = u'[' + host + u']';
    if (url.port() != -1)
        host += u':' + QString::number(url.port());
    return {host, url.toString(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::FullyEncoded)};
}

}  // namespace CommandLines
