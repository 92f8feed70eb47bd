#pragma once

#include <QByteArrayView>

#include <string>
#include <string_view>
#include <unordered_set>

// The lobby names of the players in the channel, compared as IRC compares nicknames
// (ASCII letters in either case). Looked up from a view of the line, without a copy:
// the check runs on every hut line.
class ChannelNames {
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
    static char lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const
        {
            size_t h = 14695981039346656037ull;  // FNV-1a over the folded bytes
            for (char c : s)
                h = (h ^ static_cast<unsigned char>(lower(c))) * 1099511628211ull;
            return h;
        }
    };
    struct Equal {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const
        {
            if (a.size() != b.size())
                return false;
            for (size_t i = 0; i < a.size(); ++i)
                if (lower(a[i]) != lower(b[i]))
                    return false;
            return true;
        }
    };
    std::unordered_set<std::string, Hash, Equal> m_names;
};
