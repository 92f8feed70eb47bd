#pragma once

#include "PlainIrcClient.h"
#include "RealIrcServer.h"
#include "RecordingView.h"
#include "session/LobbySession.h"
#include "protocol/UserList.h"

#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <memory>
#include <vector>

// Several sessions (and other clients) in lobby 3 of one real server.
namespace Crowd {

inline constexpr int Wait = 15000;  // a failing wait takes three times this (Qt reports late passes)
inline const QByteArray Channel = "#TavarineNET_3";

// Sessions in one lobby; the views are declared first so they outlive the sessions.
struct Lobby {
    std::vector<std::unique_ptr<RecordingView>> views;
    std::vector<std::unique_ptr<LobbySession>> sessions;
    QByteArrayList names;

    LobbySession &at(const QByteArray &name) { return *sessions.at(names.indexOf(name)); }
    RecordingView &view(const QByteArray &name) { return *views.at(names.indexOf(name)); }
};

// Every name but the session's own is a whole entry of its list.
inline bool holdsOthers(const LobbySession &s, const QByteArrayList &names)
{
    return std::all_of(names.begin(), names.end(), [&](const QByteArray &n) {
        return n == s.state().Nickname || UserList::isListed(s.state().UserListText, n);
    });
}

// Starts all at once, like people opening the lobby together, and waits until each knows the others.
inline bool enter(Lobby &lobby, const RealIrcServer &server, const QByteArrayList &names)
{
    std::vector<std::unique_ptr<QSignalSpy>> joined;
    for (const QByteArray &name : names) {
        lobby.names.append(name);
        lobby.views.push_back(std::make_unique<RecordingView>());
        lobby.sessions.push_back(std::make_unique<LobbySession>(name, Channel));
        lobby.sessions.back()->setView(lobby.views.back().get());
        joined.push_back(std::make_unique<QSignalSpy>(lobby.sessions.back().get(), &LobbySession::joined));
        lobby.sessions.back()->Form_Load({server.host(), server.port()});
    }
    return QTest::qWaitFor([&] {
        return std::all_of(joined.begin(), joined.end(), [](auto &spy) { return spy->count() == 1; })
            && std::all_of(lobby.sessions.begin(), lobby.sessions.end(),
                           [&](auto &s) { return holdsOthers(*s, names); });
    }, Wait);
}

inline bool enter(PlainIrcClient &client, const RealIrcServer &server)
{
    return client.connectAndRegister(server.host(), server.port(), Wait) && client.join(Channel, Wait);
}

}  // namespace Crowd
