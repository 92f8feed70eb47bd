#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QStringView>

#include <array>
#include <optional>

// Every lobby command line byte for byte, and the rules that find a command in a
// received line and cut its fields. Pure functions over bytes. The target of a line is
// the channel, or one or more IRC nicknames joined by commas for an answer to them alone.
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

QByteArray withoutLineBreaks(QByteArray text);

// Typed text in pieces of at most maxBytes of UTF-8, each cut between two characters
// (grapheme clusters), at a blank where the piece has one; the blank cut at is dropped.
// Empty text is one empty piece.
QByteArrayList chatPieces(QStringView text, qsizetype maxBytes);

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

// Where each key first occurs in a line (-1: nowhere), found in one pass. Every
// key but GETHUTLIST holds "TAV" once, at a fixed place, so only the places of
// "TAV" and of "GETHUTLIST" are looked at: a line with neither holds no key.
class KeyPlaces {
public:
    enum Key { GetTavList, TavList, TavHut1Launch, TavChat, TavMsg, TavLnk, TavHut1Exit, TavHut1, GetHutList, TavQuit, Count };

    static KeyPlaces find(QByteArrayView line);
    qsizetype at(Key key) const { return has(key) ? m_at[key] : -1; }
    bool has(Key key) const { return m_mask & (1u << key); }
    // The keys found, one bit each (1 << Key).
    quint32 mask() const { return m_mask; }

private:
    KeyPlaces() {}  // every line makes one: places are written only for the keys found
    std::array<qsizetype, Count> m_at;
    quint32 m_mask = 0;
};

// The outcome of cutting a field: the key is absent (the rule does nothing),
// the cut fails (the handling of the line ends), or the field was found. The
// value is a view into the line.
struct Field {
    enum Status { Absent, Failed, Found };
    Status status = Absent;
    QByteArrayView value;

    static Field absent() { return {Absent, {}}; }
    static Field failed() { return {Failed, {}}; }
    static Field found(QByteArrayView v) { return {Found, v}; }
};

// Key, one character skipped, then up to the first "|||" directly followed by CR LF.
Field payload(QByteArrayView line, QByteArrayView key);
// The same with the key's first place already known (-1: absent).
Field payload(QByteArrayView line, QByteArrayView key, qsizetype keyAt);
// TAVLIST: between the first two "|||" from the key onwards.
Field listField(QByteArrayView line, qsizetype keyAt);
Field listField(QByteArrayView line);
// TAVQUIT: from the first "|||" after the key to the CR LF.
Field quitField(QByteArrayView line, qsizetype keyAt);
Field quitField(QByteArrayView line);

// A payload "name> value": the name before the first ">", the value after it and
// one more character. Fails (nullopt) without ">" or with nothing after it.
struct NameAndValue {
    QByteArrayView name;
    QByteArrayView value;
};
std::optional<NameAndValue> splitNameAndValue(QByteArrayView payload);

}  // namespace LobbyCommands
