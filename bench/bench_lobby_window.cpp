// The lobby window under chat load: appending to the transcript, and the user list rebuild.
#include "bench/Benchmarks.h"
#include "core/LobbySession.h"
#include "ui/Lobby.h"
#include "ui/Resource.h"

#include <QApplication>
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
}
