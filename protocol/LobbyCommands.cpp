#include "protocol/LobbyCommands.h"

#include <QTextBoundaryFinder>

#include <algorithm>
#include <cstring>
#include <string_view>

namespace LobbyCommands {

namespace {
QByteArray line(const QByteArray &channel, QByteArrayView message)
{
    return "PRIVMSG " + channel + " :" + message.toByteArray() + "\r\n";
}

QByteArray slotLine(const char *keyword, const QByteArray &channel, const QByteArray &nickname,
                    const QByteArray &value)
{
    return line(channel, QByteArray(keyword) + ' ' + nickname + "> " + value + "|||");
}
}  // namespace

QByteArray getTavList(const QByteArray &channel)
{
    return line(channel, "...GETTAVLIST");
}

QByteArray tavList(const QByteArray &channel, const QByteArray &nickname)
{
    return line(channel, "...TAVLIST|||" + nickname + "|||");
}

QByteArray tavHut1(const QByteArray &channel, const QByteArray &nickname, int slot)
{
    return slotLine(TavHut1Key, channel, nickname, QByteArray::number(slot));
}

QByteArray tavHut1Exit(const QByteArray &channel, const QByteArray &nickname, int slot)
{
    return slotLine(TavHut1ExitKey, channel, nickname, QByteArray::number(slot));
}

QByteArray getHutList(const QByteArray &channel)
{
    return line(channel, "...GETHUTLIST");
}

QByteArray tavHut1Launch(const QByteArray &channel, const QByteArray &nickname, const QByteArray &hostAddress)
{
    return slotLine(TavHut1LaunchKey, channel, nickname, hostAddress);
}

QByteArray tavChat(const QByteArray &channel, const QByteArray &nickname, const QByteArray &text)
{
    return slotLine(TavChatKey, channel, nickname, withoutLineBreaks(text));
}

QByteArray tavMsg(const QByteArray &channel, const QByteArray &text)
{
    return line(channel, "...TAVMSG " + withoutLineBreaks(text) + "|||");
}

QByteArray tavLnk(const QByteArray &channel, const QByteArray &address)
{
    return line(channel, "...TAVLNK " + withoutLineBreaks(address) + "|||");
}

QByteArray withoutLineBreaks(QByteArray text)
{
    text.removeIf([](char c) { return c == '\r' || c == '\n' || c == '\0'; });
    return text;
}

namespace {
qsizetype utf8Size(QStringView text)
{
    qsizetype bytes = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (u < 0x80)
            bytes += 1;
        else if (u < 0x800)
            bytes += 2;
        else if (QChar::isHighSurrogate(u) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode()))
            bytes += 4, ++i;
        else
            bytes += 3;  // a lone surrogate goes out as U+FFFD, three bytes too
    }
    return bytes;
}
}  // namespace

QByteArrayList chatPieces(QStringView text, qsizetype maxBytes)
{
    maxBytes = std::max<qsizetype>(maxBytes, 4);  // room for any one character
    QByteArrayList pieces;
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, text);
    qsizetype start = 0;
    while (utf8Size(text.sliced(start)) > maxBytes) {
        qsizetype fits = start, blank = -1, bytes = 0;
        characters.setPosition(start);
        for (qsizetype end; (end = characters.toNextBoundary()) >= 0 && (bytes += utf8Size(text.sliced(fits, end - fits))) <= maxBytes;) {
            if (text[end - 1] == u' ' && end - 1 > start)
                blank = end - 1;
            fits = end;
        }
        if (fits == start)  // one character longer than a piece: cut it between code points
            fits = start + (text[start].isHighSurrogate() ? 2 : 1);
        const qsizetype cut = blank > 0 ? blank : fits;
        pieces.append(text.sliced(start, cut - start).toUtf8());
        start = cut + (cut == blank ? 1 : 0);
    }
    pieces.append(text.sliced(start).toUtf8());
    return pieces;
}

namespace {
// The first `c` from `from` on, or -1: straight to memchr, short lines make a wrapper count.
qsizetype findChar(QByteArrayView line, char c, qsizetype from)
{
    return qsizetype(std::string_view(line.data(), size_t(line.size())).find(c, size_t(from)));
}

// The N - 1 characters of `text` stand in the line at `at`.
template <qsizetype N>
bool textAt(QByteArrayView line, qsizetype at, const char (&text)[N])
{
    return at >= 0 && at + N - 1 <= line.size() && std::memcmp(line.data() + at, text, N - 1) == 0;
}
}  // namespace

KeyPlaces KeyPlaces::find(QByteArrayView line)
{
    KeyPlaces places;
    const auto mark = [&places](Key key, qsizetype at) {
        if (!places.has(key))
            places.m_at[key] = at;  // places are met in order: the first one stays
        places.m_mask |= 1u << key;
    };
    // Found by their "V" and their "U", letters few lines hold in capitals.
    for (qsizetype v = findChar(line, 'V', 2); v >= 0; v = findChar(line, 'V', v + 1)) {
        if (line[v - 1] != 'A' || line[v - 2] != 'T')
            continue;
        const qsizetype tav = v - 2, after = v + 1;
        if (textAt(line, after, "LIST")) {
            mark(TavList, tav);
            if (textAt(line, tav - 3, "GET"))
                mark(GetTavList, tav - 3);
        } else if (textAt(line, after, "QUIT")) {
            mark(TavQuit, tav);
        }
        if (!textAt(line, tav - 3, "..."))
            continue;
        const qsizetype dots = tav - 3;
        if (textAt(line, after, "CHAT")) {
            mark(TavChat, dots);
        } else if (textAt(line, after, "MSG")) {
            mark(TavMsg, dots);
        } else if (textAt(line, after, "LNK")) {
            mark(TavLnk, dots);
        } else if (textAt(line, after, "HUT1")) {
            mark(TavHut1, dots);
            if (textAt(line, after + 4, "EXIT"))
                mark(TavHut1Exit, dots);
            else if (textAt(line, after + 4, "LAUNCH"))
                mark(TavHut1Launch, dots);
        }
    }
    for (qsizetype u = findChar(line, 'U', 4); u >= 0; u = findChar(line, 'U', u + 1)) {
        if (textAt(line, u - 4, "GETHUTLIST")) {
            mark(GetHutList, u - 4);
            break;
        }
    }
    return places;
}

namespace {
// The first "|||" CR LF from `from` on. A line holds few LFs, so they lead the search.
qsizetype endMarkAt(QByteArrayView line, qsizetype from)
{
    for (qsizetype lf = findChar(line, '\n', from + 4); lf >= 0; lf = findChar(line, '\n', lf + 1)) {
        if (textAt(line, lf - 4, "|||\r"))
            return lf - 4;
    }
    return -1;
}

// The first "|||" from `from` on.
qsizetype barsAt(QByteArrayView line, qsizetype from)
{
    for (qsizetype bar = findChar(line, '|', from); bar >= 0; bar = findChar(line, '|', bar + 1)) {
        if (textAt(line, bar, "|||"))
            return bar;
    }
    return -1;
}
}  // namespace

Field payload(QByteArrayView line, QByteArrayView key)
{
    return payload(line, key, line.indexOf(key));
}

Field payload(QByteArrayView line, QByteArrayView key, qsizetype k)
{
    if (k < 0)
        return Field::absent();
    const qsizetype start = k + key.size() + 1;  // the blank after the key, whatever it is
    if (start > line.size())
        return Field::failed();
    const qsizetype end = endMarkAt(line, start);
    if (end < 0)
        return Field::failed();
    return Field::found(line.sliced(start, end - start));
}

namespace {
// From the first "|||" after the key up to the end marker.
Field fieldAfterBars(QByteArrayView line, qsizetype k, QByteArrayView end)
{
    if (k < 0)
        return Field::absent();
    const qsizetype s = barsAt(line, k);
    const qsizetype e = s < 0 ? -1 : end == "|||" ? barsAt(line, s + 3) : line.indexOf(end, s + 3);
    if (e < 0)
        return Field::failed();
    return Field::found(line.sliced(s + 3, e - s - 3));
}
}  // namespace

Field listField(QByteArrayView line, qsizetype keyAt)
{
    return fieldAfterBars(line, keyAt, "|||");
}

Field listField(QByteArrayView line)
{
    return listField(line, line.indexOf(TavListKey));
}

Field quitField(QByteArrayView line, qsizetype keyAt)
{
    return fieldAfterBars(line, keyAt, "\r\n");
}

Field quitField(QByteArrayView line)
{
    return quitField(line, line.indexOf(TavQuitKey));
}

std::optional<NameAndValue> splitNameAndValue(QByteArrayView payload)
{
    const qsizetype gt = payload.indexOf('>');
    if (gt < 0 || gt + 1 >= payload.size())
        return std::nullopt;
    return NameAndValue{payload.first(gt), payload.sliced(gt + 2)};
}

}  // namespace LobbyCommands
