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
};
