#include "protocol/UserList.h"

namespace UserList {

namespace {
// Position of the whole entry "nickname CR LF", or -1.
qsizetype entryAt(QByteArrayView list, QByteArrayView nickname, qsizetype from = 0)
{
    for (qsizetype pos = list.indexOf(nickname, from); pos >= 0; pos = list.indexOf(nickname, pos + 1)) {
        const bool starts = pos == 0 || (pos >= 2 && list.at(pos - 2) == '\r' && list.at(pos - 1) == '\n');
        const qsizetype end = pos + nickname.size();
        if (starts && end + 2 <= list.size() && list.at(end) == '\r' && list.at(end + 1) == '\n')
            return pos;
    }
    return -1;
}
}  // namespace

bool isListed(QByteArrayView list, QByteArrayView nickname)
{
    return entryAt(list, nickname) >= 0;
}

bool addIfNotListed(QByteArray &list, QByteArrayView nickname)
{
    if (nickname.isEmpty() || isListed(list, nickname))
        return false;  // an empty name would only show as a blank row
    list += nickname;
    list += "\r\n";
    return true;
}

void removeEntry(QByteArray &list, QByteArrayView nickname)
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
