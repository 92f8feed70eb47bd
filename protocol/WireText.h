#pragma once

#include <QByteArray>
#include <QString>

// Wire bytes shown to a person: UTF-8 where valid, else Latin-1, so no byte is lost.
namespace WireText {

QString decode(QByteArrayView bytes);
// Chat text shown as one line that reads as sent: line and paragraph separators, control
// characters and wide blanks become one blank each run, and direction overrides go, so the
// text never looks like two speakers or like another order of its letters.
QString shownChat(QStringView text);
QString shownChat(const QString &text);  // the same; text that needs nothing done is not copied
// The name stands in the text as a word of its own, in any letter case.
bool mentions(QStringView text, QStringView name);
inline QByteArray encode(const QString &typed) { return typed.toUtf8(); }

}  // namespace WireText
