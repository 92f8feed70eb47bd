#pragma once

#include "protocol/IrcLine.h"
#include "protocol/LobbyCommands.h"

#include <optional>

// One received line as the rules see it: its bytes, its IRC parts, where its lobby keys
// stand and who sent it, each found once. Views into the read: nothing is copied.
struct InboundLine {
    // Taken apart in place: the parts are large, and a brace list would clear them first.
    InboundLine(QByteArrayView line, qint64 now)
        : raw(line), irc(IrcLine::parse(line)), keys(LobbyCommands::KeyPlaces::find(line)), nowMs(now) {}

    QByteArrayView raw;
    IrcLine irc;
    LobbyCommands::KeyPlaces keys;
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
