#pragma once

#include <QString>

// What an IRC server accepts as a nickname: letters, digits and [ ] \ ` _ ^ { | } -,
// not beginning with a digit or "-".
namespace Nickname {

bool isRegistrable(QStringView nickname);

inline const QString RefusalText = QStringLiteral(
    "This nickname cannot be used on the IRC network.\n\n"
    "Use letters A-Z and a-z, digits 0-9 and the characters [ ] \\ ` _ ^ { | } -.\n"
    "The nickname must not begin with a digit or \"-\".");

}  // namespace Nickname
