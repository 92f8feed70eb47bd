#include "protocol/WireText.h"

#include <QStringDecoder>

namespace WireText {

QString decode(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

QString shownChat(QStringView text)
{
    QString shown;
    shown.reserve(text.size());
    for (QChar c : text) {
        const QChar::Category kind = c.category();
        const bool directional = (c >= u'\u202a' && c <= u'\u202e') || (c >= u'\u2066' && c <= u'\u2069')
            || c == u'\u200e' || c == u'\u200f' || c == u'\u061c';
        if (directional)
            continue;
        if (kind == QChar::Other_Control || kind == QChar::Separator_Line || kind == QChar::Separator_Paragraph
            || kind == QChar::Separator_Space)
            c = u' ';
        if (c == u' ' && (shown.isEmpty() || shown.endsWith(u' ')))
            continue;  // padding cannot push text to where a speaker's name stands
        shown.append(c);
    }
    return shown.trimmed();
}

bool mentions(QStringView text, QStringView name)
{
    const auto inWord = [](QChar c) { return c.isLetterOrNumber() || c == u'_'; };
    for (qsizetype at = text.indexOf(name, 0, Qt::CaseInsensitive); at >= 0 && !name.isEmpty();
         at = text.indexOf(name, at + 1, Qt::CaseInsensitive)) {
        const qsizetype end = at + name.size();
        if ((at == 0 || !inWord(text[at - 1])) && (end == text.size() || !inWord(text[end])))
            return true;
    }
    return false;
}

}  // namespace WireText
