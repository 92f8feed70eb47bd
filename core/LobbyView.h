#pragma once

#include <QString>

// What the session's rules change on screen. The Lobby window implements it;
// headless sessions (tests, benchmarks) keep the do-nothing defaults.
class LobbyView {
public:
    virtual ~LobbyView() = default;

    virtual void setCaption(const QString &) {}
    // The server refused the nickname: the Connection panel shows its reason.
    virtual void showRegistrationRefused(const QString &) {}
    // The join step's look: Connection panel hidden, Send enabled, white text areas.
    virtual void showJoined() {}
    virtual void replaceChat(const QString &) {}
    virtual void appendChat(const QString &) {}
    virtual void setHostControlsVisible(bool) {}
};
