#pragma once

#include <QString>

// The command lines handed to the game's launcher, kept as their exact text.
namespace CommandLines {

QString host(const QString &nickname, const QString &localAddress);
QString joiner(const QString &hostAddress, const QString &nickname, const QString &localAddress);

// Posted links come from anyone in the channel: only a plain http(s) address of printable
// ASCII, with no blank, quote or user part, is ever offered.
bool isSafeLink(QStringView address);
// A link as the bar shows it: the host it opens (with its port, international names in their
// ASCII form, as the browser is handed them) apart from the rest (path, query, fragment).
struct LinkParts {
    QString host;
    QString rest;
};
LinkParts splitLink(const QString &address);
// A host address from the channel: four numbers 0 to 255, nothing else.
bool isDottedIPv4(QStringView address);

}  // namespace CommandLines
