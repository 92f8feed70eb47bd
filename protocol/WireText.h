#pragma once

#include <QByteArray>
#include <QString>

// Wire bytes shown to a person: UTF-8 where valid, else Latin-1, so no byte is lost.
namespace WireText {

QString decode(QByteArrayView bytes);
// Received text shown as one line: line and paragraph separators and control
// characters become blanks, so one line never looks like two speakers.
QString oneLine(QString text);
inline QByteArray encode(const QString &typed) { return typed.toUtf8(); }

}  // namespace WireText
