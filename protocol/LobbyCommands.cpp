#include "protocol/LobbyCommands.h"

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

QByteArray tavQuit(const QByteArray &channel, const QByteArray &nickname)
{
    return line(channel, "TAVQUIT|||" + withoutLineBreaks(nickname));
}

QByteArray withoutLineBreaks(QByteArray text)
{
    text.removeIf([](char c) { return c == '\r' || c == '\n' || c == '\0'; });
    return text;
}

Field payload(QByteArrayView line, QByteArrayView key)
{
    const qsizetype k = line.indexOf(key);
    if (k < 0)
        return Field::absent();
    const qsizetype start = k + key.size() + 1;  // the blank after the key, whatever it is
    if (start > line.size())
        return Field::failed();
    const qsizetype end = line.indexOf("|||\r\n", start);
    if (end < 0)
        return Field::failed();
    return Field::found(line.sliced(start, end - start).toByteArray());
}

namespace {
// From the first "|||" after the key up to the end marker.
Field fieldAfterBars(QByteArrayView line, QByteArrayView key, QByteArrayView end)
{
    const qsizetype k = line.indexOf(key);
    if (k < 0)
        return Field::absent();
    const qsizetype s = line.indexOf("|||", k);
    const qsizetype e = s < 0 ? -1 : line.indexOf(end, s + 3);
    if (e < 0)
        return Field::failed();
    return Field::found(line.sliced(s + 3, e - s - 3).toByteArray());
}
}  // namespace

Field listField(QByteArrayView line)
{
    return fieldAfterBars(line, TavListKey, "|||");
}

Field quitField(QByteArrayView line)
{
    return fieldAfterBars(line, TavQuitKey, "\r\n");
}

std::optional<NameAndValue> splitNameAndValue(const QByteArray &payload)
{
    const qsizetype gt = payload.indexOf('>');
    if (gt < 0 || gt + 1 >= payload.size())
        return std::nullopt;
    return NameAndValue{payload.first(gt), payload.sliced(gt + 2)};
}

}  // namespace LobbyCommands
