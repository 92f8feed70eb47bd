// The hut and the game launch, one session against a scripted server.
#include "SessionHarness.h"
#include "StandInLauncher.h"

#include <QSignalSpy>

namespace {
const QByteArray Ch = "PRIVMSG #TavarineNET_3 :";
}

class TestHut : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void slotNumbers_data();
    void slotNumbers();
    void linesOfOneReadEachCount();
    void takeLeaveRefreshAndRestore();
    void hostileOrOutsiderLaunchStartsNothing();
    void memberLaunchesWithHostAddress();
    void launcherMissing();
    void hostLaunches();

private:
    std::unique_ptr<SessionHarness> h;
    std::unique_ptr<StandInLauncher> launcher;
};

void TestHut::init()
{
    launcher = std::make_unique<StandInLauncher>();
    QVERIFY(launcher->isValid());
    h = std::make_unique<SessionHarness>();
    QVERIFY(h->connectAndJoin());
}

void TestHut::cleanup()
{
    h.reset();
    launcher.reset();
}

void TestHut::slotNumbers_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("slot");  // 0: nothing changes
    QTest::newRow("0") << QByteArray("0") << 0;
    QTest::newRow("1") << QByteArray("1") << 1;
    QTest::newRow("4") << QByteArray("4") << 4;
    QTest::newRow("5, table only") << QByteArray("5") << 5;
    QTest::newRow("11, table only") << QByteArray("11") << 11;
    QTest::newRow("12") << QByteArray("12") << 0;
    QTest::newRow("2.5 to even") << QByteArray("2.5") << 2;
    QTest::newRow("3.5 to even") << QByteArray("3.5") << 4;
    QTest::newRow("leading blank") << QByteArray(" 2") << 2;
    QTest::newRow("trailing text") << QByteArray("3rd") << 3;
    QTest::newRow("x") << QByteArray("x") << 0;
    QTest::newRow("70000") << QByteArray("70000") << 0;
    QTest::newRow("-1") << QByteArray("-1") << 0;
}

void TestHut::slotNumbers()
{
    QFETCH(QByteArray, value);
    QFETCH(int, slot);
    QVERIFY(h->deliverFrom("zed", "...TAVHUT1 Zed> " + value + "|||"));
    const SharedState &s = h->session->state();
    for (int n = 1; n <= 11; ++n)
        QCOMPARE(s.HutSlots[n - 1], QByteArray(n == slot ? "Zed" : ""));
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(h->view.taken[i], i + 1 == slot);
        QCOMPARE(h->view.toolTips[i], i + 1 == slot ? QStringLiteral("Zed") : QString());
    }
    // An exit frees the slot whatever name it carries.
    if (slot) {
        QVERIFY(h->deliverFrom("zed", "...TAVHUT1EXIT Someone> " + value + "|||"));
        QVERIFY(s.HutSlots[slot - 1].isEmpty());
        QVERIFY(!h->view.taken[0] && !h->view.taken[1] && !h->view.taken[2] && !h->view.taken[3]);
    }
}

void TestHut::linesOfOneReadEachCount()
{
    h->session->Player_Click(2);
    QVERIFY(h->server->waitForReceived(Ch + "...TAVHUT1 Ann> 3|||\r\n", h->Wait));
    h->server->clearReceived();
    // An exit, an announcement, a line without its terminator and a query, all in one read.
    QVERIFY(h->deliver(":a!u@h " + Ch + "...TAVHUT1 Ann2> 1|||\r\n:b!u@h " + Ch + "...TAVHUT1EXIT Bo> 1|||\r\n"
                       ":c!u@h " + Ch + "...TAVHUT1 Cy> 2\r\n:d!u@h " + Ch + "...GETHUTLIST\r\n"));
    QVERIFY(h->server->waitForReceived(Ch + "...TAVHUT1 Ann> 3|||\r\n", h->Wait));
    QVERIFY(h->session->state().HutSlots[0].isEmpty());  // announced, then exited
    QVERIFY(h->session->state().HutSlots[1].isEmpty());  // the unterminated line changed nothing
}

void TestHut::takeLeaveRefreshAndRestore()
{
    RecordingView &v = h->view;
    const SharedState &s = h->session->state();
    h->session->Player_Click(0);
    QCOMPARE(s.MyHutSlot, 1);
    QVERIFY(v.taken[0]);
    QCOMPARE(v.toolTips[0], QStringLiteral("You"));
    QVERIFY(h->server->waitForReceived(Ch + "...TAVHUT1 Ann> 1|||\r\n", h->Wait));
    h->session->Timer1_Timer();
    QVERIFY(v.hostControls);

    h->session->Player_Click(3);  // already in the hut
    QCOMPARE(v.inHutMessages, 1);
    QCOMPARE(s.MyHutSlot, 1);
    QVERIFY(!v.taken[3]);

    // Somebody announces over the own place; the restore brings it back, the tooltip stays theirs.
    QVERIFY(h->deliverFrom("eve", "...TAVHUT1 Eve> 1|||"));
    QCOMPARE(s.HutSlots[0], QByteArray("Eve"));
    h->session->Timer5_Timer();
    QCOMPARE(s.HutSlots[0], QByteArray("Ann"));
    QCOMPARE(v.toolTips[0], QStringLiteral("Eve"));

    // Refresh: all free, a query and a note; the own place returns on the next restore.
    h->server->clearReceived();
    h->session->Refresh_Click();
    QVERIFY(!v.taken[0] && s.HutSlots[0].isEmpty());
    QVERIFY(h->server->waitForReceived(Ch + "...GETHUTLIST\r\n", h->Wait));
    QCOMPARE(v.chat.last(), QStringLiteral(" -=Refreshing Hut #1=-"));
    h->session->Timer5_Timer();
    QVERIFY(v.taken[0]);

    // A departure clears the panel; this member announces its place again.
    h->server->clearReceived();
    QVERIFY(h->deliver(":eve!u@h QUIT :Client closed connection\r\n"));
    QVERIFY(!v.taken[0] && v.toolTips[0].isEmpty());
    QVERIFY(h->server->waitForReceived(Ch + "...TAVLIST|||Ann|||\r\n" + Ch + "...TAVHUT1 Ann> 1|||\r\n", h->Wait));

    h->session->QuitButton_Click();
    QVERIFY(h->server->waitForReceived(Ch + "...TAVHUT1EXIT Ann> 1|||\r\n", h->Wait));
    QCOMPARE(s.MyHutSlot, 0);
    h->session->Timer1_Timer();
    QVERIFY(!v.hostControls);
}

void TestHut::hostileOrOutsiderLaunchStartsNothing()
{
    // Outside the hut a launch ends the handling of its line: the chat around it is not shown.
    QVERIFY(h->deliverFrom("bob", "...TAVCHAT bob> look ...TAVHUT1LAUNCH Bob> 127.0.0.1|||"));
    QCOMPARE(h->view.chat, QStringList{LobbySession::WelcomeLine});

    h->session->Player_Click(1);
    QVERIFY(h->server->waitForReceived(Ch + "...TAVHUT1 Ann> 2|||\r\n", h->Wait));
    h->server->clearReceived();
    for (const QByteArray addr : {"127.0.0.1 ; rm -rf ~", "\"127.0.0.1\"", "-x", "127.0.0.1 -h", "127.0.0.256",
                                  "127.0.0", "127.0.0.1.", "$(id)", ""})
        QVERIFY(h->deliverFrom("bob", "...TAVHUT1LAUNCH Bob> " + addr + "|||"));
    QVERIFY(h->deliverFrom("bob", "...TAVHUT1LAUNCH Bob>|||"));
    QVERIFY(h->deliver("PING :after\r\n"));
    QVERIFY(h->server->waitForReceived("PONG :after\r\n", h->Wait));
    QCOMPARE(h->server->received(), QByteArray("PONG :after\r\n"));
    QCOMPARE(h->session->state().MyHutSlot, 2);
    QVERIFY(h->session->socket().isConnected());
    QVERIFY(launcher->starts().isEmpty() && !h->view.loginShown);
}

void TestHut::memberLaunchesWithHostAddress()
{
    QSignalSpy closed(h->session.get(), &LobbySession::lobbyClosed);
    h->session->Player_Click(1);
    QVERIFY(h->deliverFrom("bob", "...TAVHUT1LAUNCH Bob> 10.1.2.3|||"));
    QVERIFY(launcher->waitForStarts(1, h->Wait));
    QCOMPARE(launcher->commandLines(),
             QStringList{QStringLiteral("gxexec.exe tav3.exe /j tcp 10.1.2.3 /nAnn /boundip 127.0.0.1")});
    QVERIFY(h->server->waitForReceived(Ch + "...TAVHUT1EXIT Ann> 2|||\r\n", h->Wait));
    QVERIFY(h->view.loginShown && h->view.closed);
    QCOMPARE(closed.count(), 1);
}

void TestHut::launcherMissing()
{
    launcher->hide();
    // A member stays in the lobby, its socket closed, the nickname window shown.
    h->session->Player_Click(1);
    QVERIFY(h->deliverFrom("bob", "...TAVHUT1LAUNCH Bob> 10.1.2.3|||"));
    QVERIFY(h->view.loginShown && !h->view.closed);
    QCOMPARE(h->session->socket().state(), int(LobbySocket::Closed));
    QVERIFY(h->server->waitForReceived(Ch + "...TAVHUT1EXIT Ann> 2|||\r\n", h->Wait));
    QVERIFY(h->server->waitForDisconnected(h->Wait));

    // A host stays in the lobby outside the hut, and says so once more with slot 0.
    h = std::make_unique<SessionHarness>();
    QVERIFY(h->connectAndJoin());
    h->session->Player_Click(0);
    h->session->LaunchButton_Click();
    const QByteArray expected = Ch + "...TAVHUT1 Ann> 1|||\r\n" + Ch + "...TAVHUT1EXIT Ann> 1|||\r\n" + Ch
        + "...TAVHUT1LAUNCH Ann> 127.0.0.1|||\r\n" + Ch + "...TAVHUT1EXIT Ann> 0|||\r\n";
    QVERIFY(h->server->waitForReceived(expected, h->Wait));
    QCOMPARE(h->session->state().MyHutSlot, 0);
    QVERIFY(h->view.loginShown && !h->view.closed);
    QVERIFY(h->session->socket().isConnected());
    QVERIFY(launcher->starts().isEmpty());
}

void TestHut::hostLaunches()
{
    QSignalSpy closed(h->session.get(), &LobbySession::lobbyClosed);
    h->session->LaunchButton_Click();  // not the host: nothing
    h->session->Player_Click(0);
    h->session->LaunchButton_Click();
    QCOMPARE(closed.count(), 1);
    QVERIFY(h->server->waitForReceived(Ch + "...TAVHUT1EXIT Ann> 1|||\r\n" + Ch + "...TAVHUT1LAUNCH Ann> 127.0.0.1|||\r\n",
                                       h->Wait));
    QVERIFY(launcher->waitForStarts(1, h->Wait));
    QCOMPARE(launcher->commandLines(),
             QStringList{QStringLiteral("gxexec.exe tav3.exe /h tcp /nAnn /boundip 127.0.0.1")});
}

QTEST_GUILESS_MAIN(TestHut)
#include "tst_hut.moc"
