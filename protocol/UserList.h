#pragma once

#include <QByteArray>
#include <QByteArrayList>

// UserListText: entries "nickname CR LF" in order of arrival. A nickname is
// listed only when a whole entry equals it (bob is not listed by jimbob).
namespace UserList {

bool isListed(QByteArrayView list, QByteArrayView nickname);
// Appends the entry unless listed; false when nothing was added.
bool addIfNotListed(QByteArray &list, QByteArrayView nickname);
// Removes every entry equal to the nickname, never the tail of a longer one.
void removeEntry(QByteArray &list, QByteArrayView nickname);
// The rows the list box shows: one per entry; a lone empty entry at the end is not shown.
QByteArrayList rows(const QByteArray &list);

}  // namespace UserList
