#include "launch/CommandLines.h"

#include <QStringList>

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
    if (!address.startsWith(u"http://") && !address.startsWith(u"https://"))
        return false;
    for (QChar c : address) {
        if (c.isSpace() || c == u'"' || c == u'\'' || c.category() == QChar::Other_Control)
            return false;
    }
    return true;
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

}  // namespace CommandLines
