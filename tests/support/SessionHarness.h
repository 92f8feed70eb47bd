#pragma once

#include "RecordingView.h"
#include "ScriptedServer.h"
#include "session/LobbySession.h"

#include <QTest>
#include <memory>

// One session ("Ann" in lobby 3) against a scripted server that decides how bytes arrive.
struct SessionHarness {
    static constexpr int Wait = 10000;
    static inline const QByteArray Registration =
        "NICK AnnOnTavNET\r\nUSER AnnOnTavNET \"tavarinenet.lobby\" \"127.0.0.1\" :TavUser\r\n";
    static inline const QByteArray JoinLines = "JOIN #TavarineNET_3\r\nMODE #TavarineNET_3\r\n";

    std::unique_ptr<ScriptedServer> server = std::make_unique<ScriptedServer>();
    std::unique_ptr<LobbySession> session = std::make_unique<LobbySession>("Ann", "#TavarineNET_3");
    RecordingView view;

    SessionHarness()
    {
        session->setView(&view);
        server->listen();
    }

    bool connect()
    {
        session->Form_Load({server->host(), server->port()});
        return server->waitForReceived(Registration, Wait);
    }

    // Registered and in the channel; what was sent so far is forgotten.
    bool connectAndJoin()
    {
        if (!connect())
            return false;
        deliver(":irc.test.local 001 AnnOnTavNET :Welcome\r\n");
        const bool joined = server->waitForReceived(JoinLines, Wait);
        server->clearReceived();
        return joined;
    }

    // Delivers bytes as one read of their own: returns once the session has logged them.
    bool deliver(const QByteArray &bytes)
    {
        const qsizetype expected = session->state().InboundLog.total() + bytes.size() + 2;
        server->send(bytes);
        return QTest::qWaitFor([&] { return session->state().InboundLog.total() >= expected; }, Wait);
    }

    // A channel line from another client.
    bool deliverFrom(const QByteArray &nick, const QByteArray &message)
    {
        return deliver(":" + nick + "!u@127.0.0.1 PRIVMSG #TavarineNET_3 :" + message + "\r\n");
    }
};
