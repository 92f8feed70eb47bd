// The lobby window under chat load: appending to the transcript, and the user list rebuild.
#include "bench/Benchmarks.h"
#include "session/LobbySession.h"
#include "ui/Lobby.h"
#include "ui/LogFrm.h"
#include "ui/LoginForm.h"
#include "ui/Resource.h"
#include "ui/WindowSet.h"

#include <QApplication>
#include <QTest>
#include <cstdio>

namespace {
// Appends until the transcript has seen `lines` lines, then times `batch` more.
double microsPerAppendAt(Lobby &lobby, int lines, int batch)
{
    lobby.replaceChat(QStringLiteral("start"));
    for (int i = 1; i < lines; ++i)
        lobby.appendChat(QStringLiteral("bob> filler line number %1 with some words in it").arg(i));
    QApplication::processEvents();
    const qint64 ns = bestOf(1, [&] {
        for (int i = 0; i < batch; ++i)
            lobby.appendChat(QStringLiteral("eve> a measured line %1").arg(i));
        QApplication::processEvents();  // include the repaint the appends cause
    });
    return ns / 1e3 / batch;
}
}  // namespace

void benchLobbyWindow()
{
    Resource store;
    LobbySession session("Ann", "#TavarineNET_3");
    Lobby lobby(session, store);
    lobby.show();

    std::printf("chat transcript (keeps the newest %d lines):\n", Lobby::ChatLinesKept);
    for (int at : {10, 1000, 9000, 20000, 100000})
        std::printf("  append at line %7d: %8.1f us/line\n", at, microsPerAppendAt(lobby, at, 1000));

    for (int i = 0; i < 1000; ++i)
        session.state().UserListText += "player" + QByteArray::number(i) + "\r\n";
    const qint64 rebuildNs = bestOf(20, [&] { session.Timer2_Timer(); });
    std::printf("user list rebuild (Timer2_Timer) with 1,000 users: %.2f ms\n", rebuildNs / 1e6);

    // A log window tick while the log keeps growing, at two log sizes.
    std::printf("log window tick (the log grew since the last one):\n");
    for (qsizetype size : {qsizetype(50) * 1000, qsizetype(50) * 1000 * 1000}) {
        SharedState state;
        const QByteArray line = ":irc.test.local NOTICE * :*** a line of the connection log\r\n";
        while (state.InboundLog.total() < size)  // the log keeps only its newest part
            state.InboundLog += line;
        LogFrm log(state);
        log.show();
        const qint64 ns = bestOf(10, [&] {
            state.InboundLog += line;
            log.Timer1_Timer();
        });
        std::printf("  after %6.1f MB: %8.2f ms\n", size / 1e6, ns / 1e6);
    }

    // From nothing to the nickname window on screen (pictures loaded, window exposed).
    const auto showLogin = [] {
        WindowSet windows({QStringLiteral("127.0.0.1"), 1});
        windows.start();
        if (!QTest::qWaitForWindowExposed(windows.loginForm()))
            std::printf("  (LoginForm never exposed)\n");
    };
    const qint64 firstNs = bestOf(1, showLogin);  // the pictures are read for the first time here
    const qint64 againNs = bestOf(5, showLogin);
    std::printf("start to LoginForm shown: %.1f ms the first time, %.1f ms again\n", firstNs / 1e6, againNs / 1e6);
}
