#include "protocol/WireText.h"

#include <QStringDecoder>

namespace WireText {

QString decode(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

QString oneLine(QString text)
{
    for (QChar &c : text) {
        const QChar::Category kind = c.category();
        if (kind == QChar::Other_Control || kind == QChar::Separator_Line || kind == QChar::Separator_Paragraph)
            c = u' ';
    }
    return text;
}

}  // namespace WireText
