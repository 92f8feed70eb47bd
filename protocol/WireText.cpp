#include "protocol/WireText.h"

#include <QStringDecoder>

#include <algorithm>

namespace WireText {

QString decode(QByteArrayView bytes)
{
    // Nearly every line is ASCII, which reads the same as Latin-1 and needs no decoder.
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; }))
        return QString::fromLatin1(bytes);
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

QString shownChat(const QString &text)
{
    // Most chat needs nothing done: printable ASCII, single blanks between words. Then the
    // text is kept as it came, without a copy.
    const qsizetype last = text.size() - 1;
    for (qsizetype i = 0; i <= last; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u' ' || c >= 0x7f || (c == u' ' && (i == 0 || i == last || text[i - 1] == u' ')))
            return shownChat(QStringView(text));
    }
    return text.isEmpty() ? shownChat(QStringView(text)) : text;
}

bool mentions(QStringView text, QStringView name)
{
    if (name.isEmpty())
        return false;
    const auto inWord = [](QChar c) { return c.isLetterOrNumber() || c == u'_'; };
    // Checked on every chat line: where an ASCII letter stands that cannot begin the name in
    // any case, no comparison is made. Other letters may fold to it, so they are compared.
    const auto ascii = [](char16_t c) { return c < 0x80; };
    const auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; };
    const char16_t first = name.front().unicode();
    for (qsizetype at = 0; at + name.size() <= text.size(); ++at) {
        const char16_t c = text[at].unicode();
        if (ascii(c) && ascii(first) && lower(c) != lower(first))
            continue;
        if (text.sliced(at, name.size()).compare(name, Qt::CaseInsensitive) != 0)
            continue;
        const qsizetype end = at + name.size();
        if ((at == 0 || !inWord(text[at - 1])) && (end == text.size() || !inWord(text[end])))
            return true;
    }
    return false;
}

}  // namespace WireText
