#pragma once

#include "protocol/IrcLine.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QPair>

#include <cstddef>
#include <string_view>

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
    // Equal under the mapping: rfc1459 also folds []\^ to {}|~ (each 32 above, as A to a),
    // strict-rfc1459 []\ to {}| only.
    bool sameName(QByteArrayView a, QByteArrayView b) const;
    size_t hash(std::string_view s) const;  // FNV-1a over the folded bytes: equal for equal names
    // "@+BobOnTavNET" -> "BobOnTavNET": every leading status mark the server announced.
    QByteArrayView stripStatus(QByteArrayView namesEntry) const;
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
    bool readToken(QByteArrayView name, QByteArrayView value, bool negated);

    CaseMapping m_mapping = CaseMapping::Rfc1459;
    QByteArray m_statusMarks = "~&@%+";
    QByteArray m_statusModes = "qaohv";  // the mode letter of each mark
    QByteArray m_chanTypes = "#&";
    QList<QPair<QByteArray, int>> m_targMax;  // upper-case command, limit
    int m_maxTargets = 0;  // 0: not announced
    int m_nickLength = 0;
};
