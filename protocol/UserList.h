#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QHash>
#include <list>

// UserListText: the players present, in order of arrival. A name is listed only
// when a whole entry equals it (bob is not listed by jimbob). Look-ups, additions
// and removals go through a hash, so a lobby of 10,000 costs what one of 10 does.
class UserList {
public:
    // Longer than any IRC server takes as a nickname: such a name is nobody.
    static constexpr qsizetype MaxNameBytes = 64;

    bool isListed(QByteArrayView name) const { return m_index.contains(key(name)); }
    // Appends the name unless listed, empty or too long; false when nothing was added.
    bool add(QByteArrayView name);
    void remove(QByteArrayView name);
    void clear();
    bool isEmpty() const { return m_order.empty(); }
    // The rows the list box shows, in order of arrival.
    QByteArrayList rows() const { return QByteArrayList(m_order.begin(), m_order.end()); }
    // As the list's text: every name followed by CR LF.
    QByteArray text() const;
    // Grows with every change, so a rebuild can tell whether there is anything new to show.
    quint64 changes() const { return m_changes; }

private:
    static QByteArray key(QByteArrayView name) { return QByteArray::fromRawData(name.data(), name.size()); }

    std::list<QByteArray> m_order;
    QHash<QByteArray, std::list<QByteArray>::iterator> m_index;
    quint64 m_changes = 0;
};
