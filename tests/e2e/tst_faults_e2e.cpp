// Faults and floods through a real server: the lobby keeps running and loses nothing.
#include "PlainIrcClient.h"
#include "RealIrcServer.h"
#include "RecordingView.h"
#include "session/LobbySession.h"
#include "ui/Lobby.h"
#include "ui/Resource.h"

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>

namespace {
constexpr int Wait = 20000;
const QByteArray Channel = "#TavarineNET_3";

// The real lobby window, counting every chat line it is given.
class CountingLobby : public Lobby {
public:
    using Lobby::Lobby;
    qsizetype shown = 0;
    QString last;
    void appendChat(const QString &line) override
    {
        ++shown;
        last = line;
        Lobby::appendChat(line);
    }
};
}  // namespace

class TestFaultsE2E : public QObject {
    Q_OBJECT
private slots:
    void serverKilledMidSession();
    void floodOfChatLines();
};

void TestFaultsE2E::serverKilledMidSession()
{
    RealIrcServer server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    LobbySession session("Ann", Channel);
    RecordingView view;
    session.setView(&view);
    QSignalSpy joined(&session, &LobbySession::joined);
    session.Form_Load({server.host(), server.port()});
    QVERIFY(joined.wait(Wait));

    server.kill();
    QTRY_VERIFY_WITH_TIMEOUT(!session.socket().isConnected(), Wait);
    session.Timer1_Timer();
    QVERIFY(view.caption.startsWith(QStringLiteral("Tavarine IRC Client, Dis-Connected")));
    // Nothing goes out any more, and every handler still runs quietly.
    QVERIFY(!session.Send_Click(QStringLiteral("anyone?")));
    session.Command2_Click();
    session.Player_Click(0);
    session.Refresh_Click();
    session.Timer2_Timer();
    session.Timer5_Timer();
    QCOMPARE(session.socket().waitingLines(), 0);
}

void TestFaultsE2E::floodOfChatLines()
{
    RealIrcServer server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    Resource store;
    LobbySession session("Ann", Channel);
    CountingLobby lobby(session, store);
    lobby.show();
    QSignalSpy joined(&session, &LobbySession::joined);
    session.Form_Load({server.host(), server.port()});
    QVERIFY(joined.wait(Wait));
    PlainIrcClient bob("bob");
    QVERIFY(bob.connectAndRegister(server.host(), server.port()) && bob.join(Channel));

    // The window's event loop must never stall: a heartbeat measures the longest gap.
    QElapsedTimer sinceBeat;
    qint64 longestGap = 0;
    QTimer heartbeat;
    heartbeat.setInterval(5);
    connect(&heartbeat, &QTimer::timeout, this, [&] {
        longestGap = std::max(longestGap, sinceBeat.restart());
    });

    const int total = 100000, batch = 2000;
    const qsizetype before = lobby.shown;
    sinceBeat.start();
    heartbeat.start();
    for (int sent = 0; sent < total; sent += batch) {
        QByteArray lines;
        for (int i = sent; i < sent + batch; ++i)
            lines += "PRIVMSG " + Channel + " :...TAVCHAT bob> flood line " + QByteArray::number(i) + "|||\r\n";
        bob.sendRaw(lines);
        // Paced by what arrived, so the server never has to drop a slow reader.
        QVERIFY(QTest::qWaitFor([&] { return lobby.shown - before >= sent + batch; }, Wait));
    }
    heartbeat.stop();
    QCOMPARE(lobby.shown - before, qsizetype(total));
    QCOMPARE(lobby.last, QStringLiteral("bob> flood line %1").arg(total - 1));
    QCOMPARE(lobby.ChatBox->document()->blockCount(), Lobby::ChatLinesKept);
    QVERIFY(session.socket().isConnected());
    qInfo("longest gap between heartbeats: %lld ms", longestGap);
#ifndef TAV_SANITIZED
    QVERIFY2(longestGap < 100, qPrintable(QStringLiteral("event loop blocked for %1 ms").arg(longestGap)));
#endif
}

QTEST_MAIN(TestFaultsE2E)
#include "tst_faults_e2e.moc"
