#pragma once

#include <QString>

// The command lines handed to the game's launcher, kept as their exact text.
namespace CommandLines {

QString host(const QString &nickname, const QString &localAddress);
QString joiner(const QString &hostAddress, const QString &nickname, const QString &localAddress);

// Posted links come from anyone in the channel: only a plain http(s) address of printable
// ASCII, with no blank, quote or user part, is ever offered.
bool isSafeLink(QStringView address);
// A host address from the channel: four numbers 0 to 255, nothing else.
bool isDottedIPv4(QStringView address);

}  // namespace CommandLines
