#pragma once

#include "session/FoldedName.h"

#include <QByteArrayView>

#include <string>
#include <unordered_set>

// A set of names, compared as the server compares nicknames, looked up from a view of the
// line without a copy.
class NameSet {
public:
    explicit NameSet(const ServerInfo &server) : m_names(0, {&server}, {&server}), m_server(&server) {}

    void insert(QByteArrayView name)
    {
        if (!contains(name))  // the names list repeats who is known: no string made for them
            m_names.emplace(name.data(), size_t(name.size()));
    }
    void remove(QByteArrayView name)
    {
        const auto found = m_names.find(FoldedName::view(name));
        if (found != m_names.end())
            m_names.erase(found);
    }
    bool contains(QByteArrayView name) const  // most sets are empty: nobody is ignored
    {
        return !m_names.empty() && m_names.find(FoldedName::view(name)) != m_names.end();
    }
    void clear() { m_names.clear(); }
    void refold() { FoldedName::refold(m_names, *m_server); }

private:
    std::unordered_set<std::string, FoldedName::Hash, FoldedName::Equal> m_names;
    const ServerInfo *m_server;
};
