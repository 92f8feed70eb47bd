#include "ui/StartOptions.h"

#include <QCommandLineParser>

#ifndef TAV_SERVER_HOST
#define TAV_SERVER_HOST "localhost"
#endif

StartOptions StartOptions::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Match-making lobby for Tavarine over IRC.\n\n"
        "The servers are tried in the order given, the next one when a server refuses, does not answer, "
        "cannot be found, or shows a TLS certificate that is not trusted. Without --server the program "
        "uses the servers chosen with the login window's Server... button, which it keeps with the last "
        "nickname and lobby in $XDG_CONFIG_HOME/tavarine-lobby/lobby.ini "
        "(~/.config/tavarine-lobby/lobby.ini); without those, the server built in: %1.")
                                         .arg(builtInServer().toString()));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("server"),
                      QStringLiteral("An IRC server: HOST[:PORT] in plain text (port 6664 unless given), or "
                                     "ircs://HOST[:PORT] over TLS (port 6697); [IPv6]:PORT for an IPv6 address. "
                                     "Give it again for more servers."),
                      QStringLiteral("address")});
    StartOptions options;
    const auto refuse = [&](const QString &why) {
        options.exitCode = 2;
        options.output = arguments.value(0, QStringLiteral("tavarine-lobby")).section(u'/', -1) + QStringLiteral(": ") + why
                       + QStringLiteral("\n\n") + parser.helpText();
        return options;
    };
    if (!parser.parse(arguments))
        return refuse(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        options.exitCode = 0;
        options.output = parser.helpText();
        return options;
    }
    if (!parser.positionalArguments().isEmpty())
        return refuse(QStringLiteral("unexpected \"%1\": servers are given with --server").arg(parser.positionalArguments().constFirst()));
    for (const QString &text : parser.values(QStringLiteral("server"))) {
        QString why;
        const auto address = ServerAddress::parse(text, &why);
        if (!address)
            return refuse(QStringLiteral("--server \"%1\": %2").arg(text, why));
        options.servers += *address;
    }
    return options;
}

QList<ServerAddress> chooseServers(const QList<ServerAddress> &commandLine, const QList<ServerAddress> &settings)
{
    return !commandLine.isEmpty() ? commandLine : !settings.isEmpty() ? settings : QList{builtInServer()};
}

// The build may name a whole address (ircs://lobby.example.org) or just a host.
ServerAddress builtInServer()
{
    return ServerAddress::parse(QStringLiteral(TAV_SERVER_HOST)).value_or(ServerAddress{QStringLiteral("localhost")});
}
