#pragma once

#include "protocol/UserList.h"
#include "session/TrafficLog.h"

#include <QByteArray>
#include <array>
#include <cstdint>

// The values every handler of one session reads and writes. Wire-level text
// is kept as bytes (UTF-8 for what the user typed); it is decoded only for display.
struct SharedState {
    QByteArray Nickname;       // as typed, UTF-8
    QByteArray ChannelName;    // "#TavarineNET_" + lobby digit
    UserList UserListText;     // names in order of arrival
    std::array<QByteArray, 11> HutSlots{};  // slot n at index n - 1
    std::int16_t MyHutSlot = 0;
    TrafficLog InboundLog;     // every raw read followed by CR LF, the newest 1 MiB
    TrafficLog OutboundLog;    // registration progress notes, and lines dropped at a close
};
