#pragma once

#include <QByteArray>
#include <QList>
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
    // Not in the channel: kicked, refused at the door, or the link lost. The Connection panel
    // comes back with the reason, which screen readers announce; Rejoin is offered when
    // the player can ask for it (reconnecting goes on by itself).
    virtual void showOutOfLobby(const QString & /*reason*/, bool /*canRejoin*/) {}
    virtual void replaceChat(const QString &) {}
    // A note of the lobby's own (welcome, refreshing, who left): no speaker.
    virtual void appendChat(const QString &) {}
    // A chat line: the speaker is drawn apart from the text, so no text can pass for a speaker.
    virtual void appendSaid(const QString &speaker, const QString &text) { appendChat(speaker + QStringLiteral("> ") + text); }
    virtual void setHostControlsVisible(bool) {}
    struct UserRow {
        QByteArray name;  // as on the wire: what ignoring is asked with
        QString shown;
        bool ignored = false;
        bool ignoreFollowedRename = false;  // ignored under an earlier nickname
    };
    virtual void setUserListRows(const QList<UserRow> &) {}
    virtual void beep() {}
    virtual void showRoomMessage(const QString &) {}
    // Hut places: index 0 to 3 shows slot 1 to 4.
    struct Place {
        enum Kind { Free, Mine, Held, Contested };
        Kind kind = Free;
        QStringList holders;  // Held: one; Contested: every claimant, first seen first
        bool operator==(const Place &) const = default;
    };
    virtual void showPlace(int, const Place &) {}
    virtual void showInHutMessage() {}
    // Why a place cannot be taken now (the host's place is contested).
    virtual void showHutMessage(const QString &) {}
    virtual void showLoginForm() {}
    // The lobby window goes; the program ends when the session has finished.
    virtual void closeLobby() {}
    // Asks whether to open a link a player posted; answers later, never from keys typed
    // for the chat, and without blocking the rules. No is the answer unless chosen.
    virtual void askOpenLink(const QString & /*poster*/, const QString & /*address*/, std::function<void(bool)>) {}
    // A link the player chose to visit, in the desktop's web browser.
    virtual void openInBrowser(const QString &) {}
    // The game cannot start here, and why: what is missing and where it belongs.
    virtual void showLaunchProblem(const QString &) {}
    // Which server the session dials now ("host:port (TLS)").
    virtual void showServer(const QString &) {}
    // A TLS server's certificate was refused (why, in words). The player may trust this one
    // certificate for this one server, by its fingerprint; a pinned one that changed shows both.
    // Answers later; no is the answer unless chosen.
    virtual void askTrust(const QString & /*server*/, const QString & /*reason*/, const QByteArray & /*fingerprint*/,
                          const QByteArray & /*pinned*/, std::function<void(bool)>) {}
    // Something concerns this player (a place taken in its hut, its name said, put out of the
    // lobby, the link lost): the desktop marks the window while it is not the active one.
    virtual void askAttention() {}
};
