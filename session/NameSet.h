#pragma once

#include "session/FoldedName.h"

#include <QByteArrayView>

#include <string>
#include <string_view>
#include <unordered_set>

// A set of lobby names, compared as IRC compares nicknames (ASCII letters in either
// case), looked up from a view of the line without a copy.
class NameSet {
public:
    void insert(QByteArrayView name)
    {
        if (!contains(name))  // the names list repeats who is known: no string made for them
            m_names.emplace(name.data(), size_t(name.size()));
    }
    void remove(QByteArrayView name)
    {
        const auto found = m_names.find(view(name));
        if (found != m_names.end())
            m_names.erase(found);
    }
    bool contains(QByteArrayView name) const { return m_names.find(view(name)) != m_names.end(); }
    void clear() { m_names.clear(); }

private:
    static std::string_view view(QByteArrayView name) { return {name.data(), size_t(name.size())}; }
    std::unordered_set<std::string, FoldedName::Hash, FoldedName::Equal> m_names;
};
