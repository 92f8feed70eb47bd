#include "protocol/UserList.h"

bool UserList::add(QByteArrayView name)
{
    if (name.isEmpty() || name.size() > MaxNameBytes || isListed(name))
        return false;  // an empty name would only show as a blank row
    const auto entry = m_order.insert(m_order.end(), name.toByteArray());
    m_index.insert(*entry, entry);  // the key shares the entry's bytes
    ++m_changes;
    return true;
}

void UserList::remove(QByteArrayView name)
{
    const auto found = m_index.constFind(key(name));
    if (found == m_index.constEnd())
        return;
    const auto entry = *found;
    m_index.erase(found);
    m_order.erase(entry);
    ++m_changes;
}

void UserList::clear()
{
    m_order.clear();
    m_index.clear();
    ++m_changes;
}

QByteArray UserList::text() const
{
    QByteArray out;
    for (const QByteArray &name : m_order)
        out += name + "\r\n";
    return out;
}
