#pragma once

#include "protocol/IrcLine.h"
#include "protocol/LobbyCommands.h"

#include <bit>
#include <optional>

// One received line as the rules see it: its bytes, its IRC parts, where its lobby keys
// stand and who sent it, each found once. Views into the read: nothing is copied.
struct InboundLine {
    // Taken apart in place: the parts are large, and a brace list would clear them first.
    InboundLine(QByteArrayView line, qint64 now)
        : raw(line), irc(IrcLine::parse(line)), keys(LobbyCommands::KeyPlaces::find(line)),
          kinds(keys.mask() | kindOf(irc)), nowMs(now) {}

    // What a line is, one bit each, so that a rule is asked only about the lines it acts on:
    // the lobby keys it holds (the bits of KeyPlaces::mask), then its command's kind.
    static constexpr quint32 key(LobbyCommands::KeyPlaces::Key k) { return 1u << k; }
    static constexpr int KindBit = LobbyCommands::KeyPlaces::Count;
    enum Kind : quint32 {
        Names = 1u << (KindBit + 0),    // 353
        Numeric = 1u << (KindBit + 1),  // every other three-character reply starting with a digit
        Join = 1u << (KindBit + 2),
        Part = 1u << (KindBit + 3),
        Kick = 1u << (KindBit + 4),
        Quit = 1u << (KindBit + 5),
        Nick = 1u << (KindBit + 6),
        Mode = 1u << (KindBit + 7),
        Ping = 1u << (KindBit + 8),
        Error = 1u << (KindBit + 9),
        Invite = 1u << (KindBit + 10),
        Other = 1u << (KindBit + 11),  // PRIVMSG, NOTICE and the rest
    };
    static quint32 kindOf(const IrcLine &msg)
    {
        if (msg.command.size() == 3 && msg.command[0] >= '0' && msg.command[0] <= '9')
            return msg.isCommand("353") ? Names : Numeric;
        Kind kind = Other;
        switch (msg.commandCode()) {
        case IrcLine::Name("JOIN").code: kind = Join; break;
        case IrcLine::Name("PART").code: kind = Part; break;
        case IrcLine::Name("KICK").code: kind = Kick; break;
        case IrcLine::Name("QUIT").code: kind = Quit; break;
        case IrcLine::Name("NICK").code: kind = Nick; break;
        case IrcLine::Name("MODE").code: kind = Mode; break;
        case IrcLine::Name("PING").code: kind = Ping; break;
        case IrcLine::Name("ERROR").code: kind = Error; break;
        case IrcLine::Name("INVITE").code: kind = Invite; break;
        default: return Other;
        }
        // The same letters followed by NULs make the same number, not the same size.
        return qsizetype(std::bit_width(msg.commandCode()) + 7) / 8 == msg.command.size() ? kind : Other;
    }

    QByteArrayView raw;
    IrcLine irc;
    LobbyCommands::KeyPlaces keys;
    quint32 kinds;
    // The lobby player who sent it, when it is a PRIVMSG to the lobby's channel or to this
    // player alone and he is not ignored. A notice, a topic, a server's reply or a quit
    // reason speaks for nobody.
    std::optional<QByteArrayView> sender;
    bool toChannel = false;  // the PRIVMSG went to the lobby's channel
    bool toMe = false;       // the PRIVMSG went to this player alone
    qint64 nowMs = 0;        // when its read came: the clock is read once a read, not once a rule

    // The payload of a lobby command whose key place the classification already found.
    // Most lines hold no key: they are told so here, without a call.
    LobbyCommands::Field payload(QByteArrayView key, LobbyCommands::KeyPlaces::Key which) const
    {
        return keys.has(which) ? LobbyCommands::payload(raw, key, keys.at(which)) : LobbyCommands::Field::absent();
    }
};
