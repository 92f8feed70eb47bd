#pragma once

#include "session/HutModel.h"
#include "session/LobbyMembers.h"
#include "session/TrafficLog.h"

#include <QByteArray>

// The values every handler of one session reads and writes. Wire-level text
// is kept as bytes (UTF-8 for what the user typed); it is decoded only for display.
struct SharedState {
    QByteArray Nickname;       // as typed, UTF-8
    QByteArray ChannelName;    // "#TavarineNET_" + lobby digit
    LobbyMembers UserListText; // who is in the lobby; the listed ones are the user list
    HutModel Hut;              // HutSlots, MyHutSlot, and who claims what
    TrafficLog InboundLog;     // every raw read followed by CR LF, the newest 1 MiB
    TrafficLog OutboundLog;    // registration progress notes, and lines dropped at a close
};
