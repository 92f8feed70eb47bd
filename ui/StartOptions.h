#pragma once

#include "net/ServerAddress.h"

#include <QList>
#include <QStringList>

// The command line: `tavarine-lobby [--server HOST[:PORT] | --server ircs://HOST[:PORT]]...`.
struct StartOptions {
    QList<ServerAddress> servers;  // in the order given: tried in turn
    int exitCode = -1;             // 0 or more: the program ends at once, with this status
    QString output;                // then said: on standard output for 0, else on standard error

    // arguments[0] is the program, as QCoreApplication::arguments() has it.
    static StartOptions parse(const QStringList &arguments);
};

// Where to connect: the command line's servers, else the settings', else the one built in.
QList<ServerAddress> chooseServers(const QList<ServerAddress> &commandLine, const QList<ServerAddress> &settings);
ServerAddress builtInServer();
