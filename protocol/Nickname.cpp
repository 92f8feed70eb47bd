#include "protocol/Nickname.h"

namespace Nickname {

bool isRegistrable(QStringView nickname)
{
    if (nickname.isEmpty())
        return false;
    const QChar first = nickname.front();
    if (first.isDigit() || first == u'-')
        return false;
    for (QChar c : nickname) {
        const char16_t u = c.unicode();
        const bool letter = (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z');
        const bool digit = u >= u'0' && u <= u'9';
        if (!letter && !digit && !QStringView(u"[]\\`_^{|}-").contains(c))
            return false;
    }
    return true;
}

}  // namespace Nickname
