// One crowd on a real server with its default flood settings, ngircd and then InspIRCd: four
// lobby sessions and a plain IRC client in lobby 3, from registration to the host's launch,
// then a burst of typing, and the server dying under the one left.
#include "Fixtures.h"
#include "protocol/LobbyCommands.h"
#include "protocol/UserList.h"

class TestCrowdE2E : public QObject {
    Q_OBJECT
private slots:
    void story_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("ngircd") << int(RealIrcServer::NgIrcd);
        QTest::newRow("inspircd") << int(RealIrcServer::InspIRCd);
    }
    void story()
    {
        QFETCH(int, kind);
        if (RealIrcServer::program(RealIrcServer::Kind(kind)).isEmpty())
            QSKIP("this server is not installed");
        const QByteArray ch = "#TavarineNET_3";
        StandInLauncher launcher;
        RealIrcServer server;
        PlainIrcClient eve;
        QVERIFY(server.start(RealIrcServer::Kind(kind), 5) && eve.enter(server.address().port, "Eve"));  // pings often

        // Everybody registers and joins; every user list holds the other sessions, never its own name.
        const QByteArrayList names{"Ann", "Bob", "Cy", "Dee"};
        RecordingView views[4];
        LobbySession s[4]{{names[0], ch}, {names[1], ch}, {names[2], ch}, {names[3], ch}};
        for (int i = 0; i < 4; ++i) {
            s[i].setView(&views[i]);
            s[i].Form_Load(server.address());
        }
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j)  // each lists the others, never itself
                QTRY_VERIFY_WITH_TIMEOUT(UserList::isListed(s[i].state().UserListText, names[j]) == (i != j), 20000);

        // Chat reaches everybody, the plain client byte for byte (UTF-8); its room message and link too (answered No).
        QVERIFY(s[0].Send_Click(QStringLiteral("Zoë grüßt")) && arrives(eve.received, " :...TAVCHAT Ann> Zoë grüßt|||\r\n"));
        eve.write(LobbyCommands::tavMsg(ch, "Game night") + LobbyCommands::tavLnk(ch, "http://example.test/"));
        for (int i = 0; i < 4; ++i) {
            QTRY_COMPARE_WITH_TIMEOUT(views[i].linksAsked, QStringList{"http://example.test/"}, 20000);
            QVERIFY(views[i].roomMessage == "Game night\r\n\r\n" && (i == 0 || views[i].chat.contains("Ann> Zoë grüßt")));
        }

        // Ann hosts, Bob and Cy join her, Dee stays outside; everybody agrees on the places.
        s[0].Player_Click(0);
        s[1].Player_Click(2);
        s[2].Player_Click(3);
        for (const LobbySession &session : s)
            QTRY_COMPARE_WITH_TIMEOUT(QByteArrayList(session.state().HutSlots.begin(), session.state().HutSlots.begin() + 4),
                                      (QByteArrayList{"Ann", "", "Bob", "Cy"}), 20000);

        // A stranger's launch, and lines in the host's name from somebody else, change nothing.
        PlainIrcClient mal;
        QVERIFY(mal.enter(server.address().port, "Mal"));
        eve.write(LobbyCommands::tavHut1Launch(ch, "Eve", "10.6.6.6") + LobbyCommands::tavChat(ch, "Eve", "done"));
        mal.write(LobbyCommands::tavHut1Exit(ch, "Ann", 1) + LobbyCommands::tavHut1Launch(ch, "Ann", "10.6.6.6")
                  + "PRIVMSG BobOnTavNET :...TAVHUT1LAUNCH Ann> 10.6.6.6|||\r\n" + LobbyCommands::tavChat(ch, "Mal", "done"));
        for (RecordingView &v : views)
            QTRY_VERIFY_WITH_TIMEOUT(v.chat.contains("Eve> done") && v.chat.contains("Mal> done"), 20000);
        for (const LobbySession &session : s)
            QCOMPARE(session.state().HutSlots[0], QByteArray("Ann"));
        QVERIFY(launcher.starts().isEmpty());

        // The host launches; the members start the game on the host's address, the outsider nothing.
        s[0].LaunchButton_Click();
        QVERIFY(launcher.waitFor(3));
        QStringList starts = launcher.starts();
        starts.sort();
        QCOMPARE(starts, (QStringList{"gxexec.exe tav3.exe /h tcp /nAnn /boundip 127.0.0.1",
                                      "gxexec.exe tav3.exe /j tcp 127.0.0.1 /nBob /boundip 127.0.0.1",
                                      "gxexec.exe tav3.exe /j tcp 127.0.0.1 /nCy /boundip 127.0.0.1"}));
        QVERIFY(views[0].closed && views[1].closed && views[2].closed && !views[3].closed);
        QVERIFY(arrives(eve.received, " :...TAVHUT1LAUNCH Ann> 127.0.0.1|||\r\n"));

        // Dee types fifty lines at once: they reach Eve in order, and nobody is taken for a flood.
        for (int n = 0; n < 50; ++n)
            QVERIFY(s[3].Send_Click(QStringLiteral("line %1").arg(n)));
        QVERIFY(arrives(eve.received, "...TAVCHAT Dee> line 49|||", 120000));
        qsizetype at = 0;
        for (int n = 0; n < 50; ++n)
            QVERIFY((at = eve.received.indexOf("Dee> line " + QByteArray::number(n) + "|||", at)) >= 0);
        QVERIFY(s[3].socket().isConnected() && eve.state() == QTcpSocket::ConnectedState && launcher.starts().size() == 3);
        QTRY_VERIFY_WITH_TIMEOUT(s[3].state().InboundLog.text().count("PING :") >= 2, 30000);  // the server took the PONGs

        // The server dies: Dee says so, and every handler still runs without sending anything.
        server.kill();
        QTRY_VERIFY_WITH_TIMEOUT(!s[3].socket().isConnected(), 20000);
        s[3].Timer1_Timer();
        QVERIFY2(views[3].caption.startsWith("Tavarine IRC Client, Dis-Connected"), qPrintable(views[3].caption));
        QVERIFY(!s[3].Send_Click(QStringLiteral("anyone?")));
        s[3].Player_Click(0);
        for (auto handler : {&LobbySession::Command2_Click, &LobbySession::Timer5_Timer, &LobbySession::Refresh_Click,
                             &LobbySession::QuitButton_Click, &LobbySession::Timer2_Timer})
            (s[3].*handler)();
        QCOMPARE(s[3].socket().waitingLines(), 0);
    }
};

QTEST_GUILESS_MAIN(TestCrowdE2E)
#include "tst_crowd_e2e.moc"
