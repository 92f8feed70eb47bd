#pragma once

#include "net/SendThrottle.h"
#include "session/LobbyView.h"

#include <QByteArray>

// Kinds of queued line: the newest of a kind replaces one still waiting.
enum LineKind : SendThrottle::Kind {
    Typed = SendThrottle::Ordinary,
    PresenceLine,  // this player's TAVLIST
    HutPlaceLine,  // this player's hut announcement or exit
    UserListQuery,
    HutQuery,
    WitnessQuery,  // who is in the hut channel, and who made it
};

// What a model may do outward: send a line of a kind, and tell the view. The session
// implements it over its socket; no model knows the socket or a widget.
class Outbox {
public:
    virtual ~Outbox() = default;
    virtual bool connected() const = 0;
    // Queued behind what waits; `first` puts it ahead (an exit or a launch, a PONG).
    virtual bool send(const QByteArray &line, LineKind kind = Typed, bool first = false) = 0;
    virtual void drop(LineKind kind) = 0;
    // Answers owed to others were added: they go out when nothing of the player's own waits.
    virtual void answersOwed() = 0;
    virtual QByteArray localIP() const = 0;
    // The lobby window goes and the connection closes, its last lines out: a launch.
    virtual void closeLobby() = 0;
    virtual LobbyView &view() = 0;
    // Nobody looking: no text worth making.
    virtual bool viewed() const = 0;
};
