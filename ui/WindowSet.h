#pragma once

#include "net/ServerAddress.h"
#include "session/LobbySession.h"
#include "ui/PlayerSettings.h"

#include <QObject>
#include <QPointer>
#include <memory>

class Lobby;
class LobbySelect;
class LoginForm;
class Resource;

// The program's windows along their one path, LoginForm -> LobbySelect -> Lobby,
// and the one session the lobby window drives. Each window exists at most once.
class WindowSet : public QObject {
    Q_OBJECT
public:
    // The servers from the command line, else those of the player's settings, else the built-in one.
    explicit WindowSet(const QList<ServerAddress> &commandLine = {}, QObject *parent = nullptr);
    // This one server, whatever the settings say.
    ~WindowSet() override;

    void start();
    Resource &resource();
    LoginForm *loginForm();  // made on first reference
    LobbySelect *lobbySelect() const;
    Lobby *lobby() const;
    // Read-only: the windows ask the session through its controls alone.
    const LobbySession *session() const { return m_session.get(); }
    const QList<ServerAddress> &servers() const { return m_servers; }
    PlayerSettings &settings() { return m_settings; }

signals:
    // Before a lobby was chosen, when the player leaves; after, on the session's finished() alone.
    void programEnded();

private:
    // Every door out: the session's close once it exists, so its last lines go out first.
    void end();
    void onLoggedIn(const QString &nickname);
    void onLobbyChosen(int lobby);
    void onEarlyWindowClosed();

    PlayerSettings m_settings;
    QList<ServerAddress> m_servers;  // tried in this order
    std::unique_ptr<Resource> m_resource;
    std::unique_ptr<LobbySession> m_session;
    QByteArray m_nickname;
    QPointer<LoginForm> m_loginForm;
    QPointer<LobbySelect> m_lobbySelect;
    QPointer<Lobby> m_lobby;
};
