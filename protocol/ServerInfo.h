#pragma once

#include "protocol/IrcLine.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QPair>

#include <array>
#include <cstddef>
#include <cstring>
#include <string_view>

namespace NameFolding {
// Every byte folded under each case mapping, in the order of ServerInfo::CaseMapping: ascii,
// rfc1459 (also []\^ to {}|~, each 32 above, as A to a), strict-rfc1459 ([]\ to {}| only).
using Table = std::array<char, 256>;
constexpr Table table(int mapping)
{
    Table t{};
    for (int c = 0; c < 256; ++c) {
        const bool upper = (c >= 'A' && c <= 'Z') || ((c == '[' || c == '\\' || c == ']') && mapping != 0)
            || (c == '^' && mapping == 1);
        t[c] = char(upper ? c + 32 : c);
    }
    return t;
}
inline constexpr Table Tables[] = {table(0), table(1), table(2)};
}  // namespace NameFolding

// What the server says of itself in 005 (RPL_ISUPPORT): how it folds names, the status marks of
// a names list, which names are channels, how many targets one line may carry, the nickname's
// length. Until 005 arrives, the values most servers use.
class ServerInfo {
public:
    enum class CaseMapping { Ascii, Rfc1459, StrictRfc1459 };
    static constexpr int Unlimited = 0x7fffffff;  // maxTargets() when the server sets no limit

    // Reads every token it knows; an unknown or malformed one leaves the old value, a negated
    // one (-TOKEN) restores the default.
    void read005(const IrcLine &line);

    CaseMapping caseMapping() const { return m_mapping; }
    // Equal under the mapping (NameFolding). Names are compared many times a line, and most
    // that differ do so in length or in their first letter: those are answered here, without a call.
    bool sameName(QByteArrayView a, QByteArrayView b) const
    {
        if (a.size() != b.size())
            return false;
        if (a.isEmpty())
            return true;
        const NameFolding::Table &f = NameFolding::Tables[int(m_mapping)];
        if (f[quint8(a[0])] != f[quint8(b[0])])
            return false;
        const qsizetype n = a.size();
        if (n < 8) {  // a lobby name: folded byte by byte, here
            for (qsizetype i = 1; i < n; ++i)
                if (f[quint8(a[i])] != f[quint8(b[i])])
                    return false;
            return true;
        }
        // The same bytes, as most equal names are: 8 to 16 of them in two loads that may overlap.
        if (n <= 16 && eight(a.data()) == eight(b.data()) && eight(a.data() + n - 8) == eight(b.data() + n - 8))
            return true;
        return sameFolded(a, b);
    }
    size_t hash(std::string_view s) const;  // FNV-1a over the folded bytes: equal for equal names
    // "@+BobOnTavNET" -> "BobOnTavNET": every leading status mark the server announced.
    QByteArrayView stripStatus(QByteArrayView namesEntry) const
    {
        qsizetype n = 0;
        while (n < namesEntry.size() && m_isMark[quint8(namesEntry[n])])
            ++n;
        return namesEntry.sliced(n);
    }
    bool isChannel(QByteArrayView target) const;
    // TARGMAX's entry for the command, else MAXTARGETS, else 1. The caller clamps.
    int maxTargets(QByteArrayView command = "PRIVMSG") const;
    int nickLength() const { return m_nickLength; }  // 0 when unknown

    // One change of a MODE line or a 324: status modes (PREFIX), k, b, e and I always carry
    // a parameter, l only when set.
    struct ModeChange {
        bool set;
        char mode;
        QByteArrayView param;
        char mark;  // the names list's mark of a status mode, else 0
    };
    QList<ModeChange> modeChanges(const IrcLine::Params &params, qsizetype modesAt) const;

private:
    static quint64 eight(const char *p)
    {
        quint64 v;
        std::memcpy(&v, p, 8);
        return v;
    }
    using MarkTable = std::array<bool, 256>;
    static MarkTable markTable(QByteArrayView marks);

    bool readToken(QByteArrayView name, QByteArrayView value, bool negated);
    bool sameFolded(QByteArrayView a, QByteArrayView b) const;
    void setStatusMarks(QByteArray marks);

    CaseMapping m_mapping = CaseMapping::Rfc1459;
    QByteArray m_statusMarks = "~&@%+";
    MarkTable m_isMark = markTable(m_statusMarks);  // by the byte: every entry of a names list asks
    QByteArray m_statusModes = "qaohv";  // the mode letter of each mark
    QByteArray m_chanTypes = "#&";
    QList<QPair<QByteArray, int>> m_targMax;  // upper-case command, limit
    int m_maxTargets = 0;  // 0: not announced
    int m_nickLength = 0;
};
