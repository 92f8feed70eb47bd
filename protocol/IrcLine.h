#pragma once

#include <QByteArray>
#include <QByteArrayList>

// One IRC line taken apart once: optional tags and prefix, the command, the
// parameters (the trailing one without its colon). Used to recognise server
// events by their command instead of by text anywhere in the line.
struct IrcLine {
    QByteArray prefix;
    QByteArray command;
    QByteArrayList params;

    static IrcLine parse(QByteArrayView line);
    QByteArray param(qsizetype i) const { return params.value(i); }
    // The nickname of the prefix "nick!user@host".
    QByteArrayView senderNick() const;
    // Nicknames and channel names match whatever their letter case. Brackets and braces
    // stay apart: a server that tells "[" from "{" must not let one pass for the other.
    static bool sameName(QByteArrayView a, QByteArrayView b) { return a.compare(b, Qt::CaseInsensitive) == 0; }
};
