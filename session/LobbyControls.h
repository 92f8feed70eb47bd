#pragma once

#include "session/TrafficLog.h"

#include <QByteArray>
#include <QString>

// What the lobby window may ask of the session: the player's actions, nothing more.
class LobbyControls {
public:
    virtual ~LobbyControls() = default;
    virtual void Player_Click(int Index) = 0;
    virtual void QuitButton_Click() = 0;
    virtual void Refresh_Click() = 0;
    virtual void LaunchButton_Click() = 0;
    virtual void Command2_Click() = 0;
    // False (and nothing sent or shown) while not in the lobby, so the window keeps the text.
    virtual bool Send_Click(const QString &text) = 0;
    // From the user list: this player's chat, room messages, links, hut claims and launches
    // count for nothing here, for the rest of the run.
    virtual void IgnorePlayer(const QByteArray &name, bool ignore) = 0;
    // After a KICK or a refused JOIN: asks to join the lobby's channel again.
    virtual void Rejoin_Click() = 0;
    // The lobby ends (its window closed, a launch): the last lines go out, then finished().
    virtual void closeLobby() = 0;
};

// What the lobby window may read of the session.
class LobbyStatus {
public:
    virtual ~LobbyStatus() = default;
    virtual QString caption() const = 0;
    virtual bool isIgnored(QByteArrayView name) const = 0;
    virtual const TrafficLog &inboundLog() const = 0;   // every raw read followed by CR LF
    virtual const TrafficLog &outboundLog() const = 0;  // registration progress, lines dropped at a close
};
