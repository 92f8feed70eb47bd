#pragma once

#include <QByteArray>
#include <QString>

// Wire bytes shown to a person: UTF-8 where valid, else Latin-1, so no byte is lost.
namespace WireText {

QString decode(QByteArrayView bytes);
inline QByteArray encode(const QString &typed) { return typed.toUtf8(); }

}  // namespace WireText
