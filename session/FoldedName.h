#pragma once

#include "protocol/ServerInfo.h"

#include <cstddef>
#include <string_view>

// Hash and equality of names as the server folds them (its CASEMAPPING), for containers
// looked up from a view of the line, without a copy.
namespace FoldedName {

struct Hash {
    const ServerInfo *server;
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return server->hash(s); }
};

struct Equal {
    const ServerInfo *server;
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const
    {
        return server->sameName(QByteArrayView(a.data(), qsizetype(a.size())), QByteArrayView(b.data(), qsizetype(b.size())));
    }
};

inline std::string_view view(QByteArrayView name) { return {name.data(), size_t(name.size())}; }

// A container made anew under the server's folding, after it said how it folds.
template <typename Container>
void refold(Container &c, const ServerInfo &server)
{
    Container fresh(0, Hash{&server}, Equal{&server});
    for (auto &entry : c)
        fresh.insert(std::move(entry));
    c = std::move(fresh);
}

}  // namespace FoldedName
