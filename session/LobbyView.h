#pragma once

#include <QString>
#include <QStringList>
#include <functional>

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
    virtual void setUserListRows(const QStringList &) {}
    virtual void clearUserList() {}
    virtual void beep() {}
    virtual void showRoomMessage(const QString &) {}
    // Hut places: index 0 to 3 shows slot 1 to 4.
    virtual void setPlayer(int, bool /*taken*/) {}
    virtual void setPlayerToolTip(int, const QString &) {}
    virtual void showInHutMessage() {}
    virtual void showLoginForm() {}
    // The lobby window goes; the program ends with it.
    virtual void closeLobby() {}
    // Asks whether to open a posted link; answers later, without blocking the rules.
    virtual void askOpenLink(const QString &, std::function<void(bool)>) {}
    // A link the player chose to visit, in the desktop's web browser.
    virtual void openInBrowser(const QString &) {}
    // The game cannot start here, and why: what is missing and where it belongs.
    virtual void showLaunchProblem(const QString &) {}
};
