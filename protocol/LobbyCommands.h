#pragma once

#include <QByteArray>

// Every lobby command line byte for byte, and the rules that find a command in a
// received line and cut its fields. Pure functions over bytes.
namespace LobbyCommands {

QByteArray getTavList(const QByteArray &channel);
QByteArray tavList(const QByteArray &channel, const QByteArray &nickname);
QByteArray tavHut1(const QByteArray &channel, const QByteArray &nickname, int slot);
QByteArray tavHut1Exit(const QByteArray &channel, const QByteArray &nickname, int slot);
QByteArray getHutList(const QByteArray &channel);
QByteArray tavHut1Launch(const QByteArray &channel, const QByteArray &nickname, const QByteArray &hostAddress);
// CR, LF and NUL of the typed text are dropped: typed text never becomes an IRC command.
QByteArray tavChat(const QByteArray &channel, const QByteArray &nickname, const QByteArray &text);
QByteArray tavMsg(const QByteArray &channel, const QByteArray &text);
QByteArray tavLnk(const QByteArray &channel, const QByteArray &address);
QByteArray tavQuit(const QByteArray &channel, const QByteArray &nickname);

QByteArray withoutLineBreaks(QByteArray text);

// Search keys, as they stand in the received text.
inline constexpr char GetTavListKey[] = "GETTAVLIST";
inline constexpr char TavListKey[] = "TAVLIST";
inline constexpr char TavHut1Key[] = "...TAVHUT1";
inline constexpr char TavHut1ExitKey[] = "...TAVHUT1EXIT";
inline constexpr char TavHut1LaunchKey[] = "...TAVHUT1LAUNCH";
inline constexpr char GetHutListKey[] = "GETHUTLIST";
inline constexpr char TavChatKey[] = "...TAVCHAT";
inline constexpr char TavMsgKey[] = "...TAVMSG";
inline constexpr char TavLnkKey[] = "...TAVLNK";
inline constexpr char TavQuitKey[] = "TAVQUIT";

// The outcome of cutting a field: the key is absent (the rule does nothing),
// the cut fails (the handling of the line ends), or the field was found.
struct Field {
    enum Status { Absent, Failed, Found };
    Status status = Absent;
    QByteArray value;

    static Field absent() { return {Absent, {}}; }
    static Field failed() { return {Failed, {}}; }
    static Field found(QByteArray v) { return {Found, std::move(v)}; }
};

// Key, one character skipped, then up to the first "|||" directly followed by CR LF.
Field payload(QByteArrayView line, QByteArrayView key);
// TAVLIST: between the first two "|||" from the key onwards.
Field listField(QByteArrayView line);
// TAVQUIT: from the first "|||" after the key to the CR LF.
Field quitField(QByteArrayView line);

// A payload "name> value": the name before the first ">", the value after it and
// one more character. Fails (nullopt) without ">" or with nothing after it.
struct NameAndValue {
    QByteArray name;
    QByteArray value;
};
std::optional<NameAndValue> splitNameAndValue(const QByteArray &payload);

}  // namespace LobbyCommands
