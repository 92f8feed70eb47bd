#pragma once

#include "protocol/IrcLine.h"

#include <cstddef>
#include <string_view>

// Lobby names compared as the servers compare nicknames: ASCII letters in either case.
// Hash and equality for containers looked up from a view of the line, without a copy.
namespace FoldedName {

inline char lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

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
        return IrcLine::sameName(QByteArrayView(a.data(), qsizetype(a.size())), QByteArrayView(b.data(), qsizetype(b.size())));
    }
};

}  // namespace FoldedName
