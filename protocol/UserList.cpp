#include "protocol/UserList.h"

namespace UserList {

namespace {
// Position of the whole entry "nickname CR LF", or -1.
qsizetype entryAt(const QByteArray &list, const QByteArray &nickname, qsizetype from = 0)
{
    const QByteArray entry = nickname + "\r\n";
    for (qsizetype pos = list.indexOf(entry, from); pos >= 0; pos = list.indexOf(entry, pos + 1)) {
        if (pos == 0 || (pos >= 2 && list.at(pos - 2) == '\r' && list.at(pos - 1) == '\n'))
            return pos;
    }
    return -1;
}
}  // namespace

bool isListed(const QByteArray &list, const QByteArray &nickname)
{
    return entryAt(list, nickname) >= 0;
}

bool addIfNotListed(QByteArray &list, const QByteArray &nickname)
{
    if (nickname.isEmpty() || isListed(list, nickname))
        return false;  // an empty name would only show as a blank row
    list += nickname + "\r\n";
    return true;
}

void removeEntry(QByteArray &list, const QByteArray &nickname)
{
    for (qsizetype pos; (pos = entryAt(list, nickname)) >= 0;)
        list.remove(pos, nickname.size() + 2);
}

QByteArrayList rows(const QByteArray &list)
{
    QByteArrayList out;
    qsizetype pos = 0;
    while (list.size() - pos > 2) {
        const qsizetype crlf = list.indexOf("\r\n", pos);
        if (crlf < 0)
            break;
        out.append(list.sliced(pos, crlf - pos));
        pos = crlf + 2;
    }
    return out;
}

}  // namespace UserList
