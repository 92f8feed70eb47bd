// Lobby sessions with plain and classic IRC clients on real servers, ngircd and InspIRCd, as
// players, strangers and channel operators meet them.
#include "ClassicPeer.h"
#include "Fixtures.h"
#include "PlainIrcClient.h"
#include "RealIrcServer.h"
#include "protocol/LobbyCommands.h"

#include <QRegularExpression>

#include <deque>

namespace {
// A real server that pings often, a plain client (Eve) in the lobby, and sessions of the players
// named, each of them listing the others and never itself.
struct Crowd {
    RealIrcServer server;
    PlainIrcClient eve;
    QByteArrayList names;
    RecordingView views[4];
    std::deque<LobbySession> s;
    bool meet(int kind, const QByteArrayList &players)
    {
        if (!server.start({.kind = RealIrcServer::Kind(kind), .pingSeconds = 5}) || !eve.enter(server.port(), "EveOnTavNET"))
            return false;
        names = players;
        for (qsizetype i = 0; i < names.size(); ++i) {
            s.emplace_back(names[i], "#TavarineNET_3");
            s[i].setView(&views[i]);
            s[i].Form_Load(server.address());
        }
        for (qsizetype i = 0; i < names.size(); ++i)
            for (qsizetype j = 0; j < names.size(); ++j)
                if (!QTest::qWaitFor([&] { return SessionProbe{s[i]}.members().isListed(names[j]) == (i != j); }, 20000))
                    return false;
        return true;
    }
};
}  // namespace

// Each story on both servers; one that is not installed is skipped.
#define ON_A_REAL_SERVER()                                              \
    QFETCH(int, kind);                                                  \
    if (!RealIrcServer::available(RealIrcServer::Kind(kind)))           \
        QSKIP("this server is not installed");

class TestCrowdE2E : public QObject {
    Q_OBJECT
    void servers_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("ngircd") << int(RealIrcServer::NgIrcd);
        QTest::newRow("inspircd") << int(RealIrcServer::InspIRCd);
    }
private slots:
    // Chat reaches everybody, the plain client byte for byte (UTF-8); its room message and link too
    // (answered No). Ann hosts, Bob and Cy join her, Dee stays outside; everybody agrees on the
    // places. Ann types sixty lines and launches at once: her exit and launch go first, the close
    // writes what the server takes, and the members start the game on the host's address.
    void launch_data() { servers_data(); }
    void launch()
    {
        ON_A_REAL_SERVER();
        StandInLauncher launcher;
        Crowd c;
        QVERIFY2(c.meet(kind, {"Ann", "Bob", "Cy", "Dee"}), qPrintable(c.server.errorString()));
        QVERIFY(c.s[0].Send_Click(QStringLiteral("Zoë grüßt")) && arrives(c.eve.received, " :...TAVCHAT Ann> Zoë grüßt|||\r\n"));
        c.eve.write(LobbyCommands::tavMsg("#TavarineNET_3", "Game night") + LobbyCommands::tavLnk("#TavarineNET_3", "http://example.test/"));
        for (int i = 0; i < 4; ++i) {
            QTRY_COMPARE_WITH_TIMEOUT(c.views[i].linksAsked, QStringList{"http://example.test/"}, 20000);
            QVERIFY(c.views[i].roomMessage == "Game night\r\n\r\n" && (i == 0 || c.views[i].chat.contains("Ann> Zoë grüßt")));
        }
        for (LobbySession &session : c.s)
            SessionProbe{session}.skip(HutModel::AnswerWindowMs);  // the answers to their JOINs are in: a later claim no longer races
        c.s[0].Player_Click(0);
        for (int i = 1; i < 3; ++i) {  // a member takes a place under the host it sees
            QTRY_COMPARE_WITH_TIMEOUT(SessionProbe{c.s[i]}.hut().HutSlots()[0], QByteArray("Ann"), 20000);
            c.s[i].Player_Click(i + 1);
        }
        for (const LobbySession &session : c.s)
            QTRY_COMPARE_WITH_TIMEOUT(QByteArrayList(SessionProbe{session}.hut().HutSlots().begin(), SessionProbe{session}.hut().HutSlots().begin() + 4),
                                      (QByteArrayList{"Ann", "", "Bob", "Cy"}), 20000);
        for (int n = 0; n < 60; ++n)
            QVERIFY(c.s[0].Send_Click(QStringLiteral("queued %1 ").arg(n) + QString(80, u'.')));
        c.s[0].LaunchButton_Click();
        QVERIFY(launcher.waitFor(3));
        QStringList starts = launcher.starts();
        starts.sort();
        QCOMPARE(starts, (QStringList{"gxexec.exe tav3.exe /h tcp /nAnn /boundip 127.0.0.1",
                                      "gxexec.exe tav3.exe /j tcp 127.0.0.1 /nBob /boundip 127.0.0.1",
                                      "gxexec.exe tav3.exe /j tcp 127.0.0.1 /nCy /boundip 127.0.0.1"}));
        QVERIFY(c.views[0].closed && c.views[1].closed && c.views[2].closed && !c.views[3].closed);
        QVERIFY(arrives(c.eve.received, " :...TAVHUT1EXIT Ann> 1|||\r\n"));
        QVERIFY(arrives(c.eve.received, " :...TAVHUT1LAUNCH Ann> 127.0.0.1|||\r\n"));
        QVERIFY(c.s[0].outboundLog().text().contains(" waiting lines at close"));
        const QRegularExpression annQuit(":AnnOnTavNET!\\S+ QUIT :([^\r]*)");
        QTRY_VERIFY_WITH_TIMEOUT(annQuit.match(QString::fromUtf8(c.eve.received)).hasMatch(), 20000);
        const QString reason = annQuit.match(QString::fromUtf8(c.eve.received)).captured(1);
        QVERIFY2(!reason.contains("RecvQ") && !reason.contains("Flood"), qPrintable(reason));
        QVERIFY(SessionProbe{c.s[3]}.socket().isConnected() && c.eve.state() == QTcpSocket::ConnectedState);
    }

    // The server pings and restarts: Dee answers, says she is out, sends nothing while out, and
    // comes back by herself, where a newcomer of the classic kind hears of her.
    void restart_data() { servers_data(); }
    void restart()
    {
        ON_A_REAL_SERVER();
        Crowd c;
        QVERIFY2(c.meet(kind, {"Dee"}), qPrintable(c.server.errorString()));
        LobbySession &dee = c.s[0];
        QTRY_VERIFY_WITH_TIMEOUT(dee.inboundLog().text().count("PING :") >= 2, 30000);  // the server took the PONGs
        QVERIFY(c.server.restart());
        QTRY_VERIFY_WITH_TIMEOUT(!SessionProbe{dee}.life().inLobby(), 20000);
        SessionProbe{dee}.skip(-3600000);  // her next try waits while she is out
        QVERIFY2(c.views[0].caption.startsWith("Tavarine IRC Client, Dis-Connected"), qPrintable(c.views[0].caption));
        QVERIFY(!dee.Send_Click(QStringLiteral("anyone?")));  // the other controls: tst_session
        SessionProbe{dee}.skip(3600000 + ConnectionLife::LongestWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(SessionProbe{dee}.life().inLobby(), 60000);
        QVERIFY(c.views[0].chat.contains(" -=Back in the lobby=-") && c.views[0].outOfLobby.isEmpty());
        ClassicPeer gus("Gus");
        QVERIFY(gus.enter(c.server.port()));
        QTRY_COMPARE_WITH_TIMEOUT(gus.list, QByteArrayList{"Dee"}, 20000);
    }

    // A plain client floods the channel at the host as he launches, and (in a network of the
    // test's own) the path to the server drops every packet for a second: the launch still
    // reaches the member, though the host closes with the server's lines unread.
    void launchUnderFlood_data()
    {
        servers_data();
        QTest::newRow("ngircd, lossy") << int(RealIrcServer::NgIrcd);
    }
    void launchUnderFlood()
    {
        ON_A_REAL_SERVER();
        const int lossMs = QTest::currentDataTag() == QByteArray("ngircd, lossy") ? 1000 : 0;
        if (lossMs && qgetenv("TAV_PRIVATE_NET") != "1")
            QSKIP("drops packets only in a network namespace of its own");
        StandInLauncher launcher;
        RealIrcServer server;
        PlainIrcClient eve;
        QVERIFY(server.start({.kind = RealIrcServer::Kind(kind), .defaultFlood = false}) && eve.enter(server.port(), "EveOnTavNET"));
        LobbySession ann("Ann", "#TavarineNET_3"), bob("Bob", "#TavarineNET_3");
        for (LobbySession *s : {&ann, &bob})
            s->Form_Load(server.address());
        QTRY_VERIFY_WITH_TIMEOUT(SessionProbe{ann}.life().inLobby() && SessionProbe{bob}.life().inLobby(), 20000);
        ann.Player_Click(0);
        QTRY_COMPARE_WITH_TIMEOUT(SessionProbe{bob}.hut().HutSlots()[0], QByteArray("Ann"), 20000);
        bob.Player_Click(1);
        QVERIFY(arrives(eve.received, " :...TAVHUT1 Bob> 2|||\r\n"));
        QTimer flood;  // up to 2,000 lines a second, as fast as the server reads them
        QObject::connect(&flood, &QTimer::timeout, &eve, [&] {
            if (eve.bytesToWrite() < 65536)
                eve.send(QByteArray("PRIVMSG #TavarineNET_3 :" + QByteArray(400, 'x') + "\r\n").repeated(20));
        });
        flood.start(10);
        QTRY_VERIFY_WITH_TIMEOUT(SessionProbe{ann}.socket().traffic().bytesRead > 200000, 60000);
        if (lossMs) {
            const QString drop = QStringLiteral("add table inet lossy; add chain inet lossy out { type filter hook output priority 0; };"
                                                " add rule inet lossy out tcp dport %1 drop").arg(server.port());
            QCOMPARE(QProcess::execute("nft", {drop}), 0);
            QTimer::singleShot(lossMs, [] { QProcess::execute("nft", {"delete table inet lossy"}); });
        }
        ann.LaunchButton_Click();
        QVERIFY(launcher.waitFor(2));
        QVERIFY(launcher.starts().contains("gxexec.exe tav3.exe /j tcp 127.0.0.1 /nBob /boundip 127.0.0.1"));
    }

    // The first to join an empty lobby can neither kick, close nor title it, and nobody outside
    // speaks into it; two classic clients still find each other and the hut there, and with
    // sessions of this program among them everybody's list stays whole.
    void channels_data() { servers_data(); }
    void channels()
    {
        ON_A_REAL_SERVER();
        RealIrcServer server;
        ClassicPeer ann("Ann", "#TavarineNET_0"), bob("Bob", "#TavarineNET_0");
        PlainIrcClient out;
        QVERIFY(server.start({.kind = RealIrcServer::Kind(kind)}) && ann.enter(server.port()) && bob.enter(server.port())
                && out.enter(server.port(), "OutOnTavNET", {}));
        ann.send("KICK #TavarineNET_0 BobOnTavNET\r\nMODE #TavarineNET_0 +i\r\nTOPIC #TavarineNET_0 :mine\r\n");
        out.send("PRIVMSG #TavarineNET_0 :from outside\r\n");  // refused: the lobbies are +n, and +t for the topic
        QVERIFY(arrives(out.received, " 404 OutOnTavNET #TavarineNET_0 ") && !ann.received.contains("@AnnOnTavNET"));
        QTRY_COMPARE_WITH_TIMEOUT(ann.received.count(" 482 AnnOnTavNET #TavarineNET_0 "), 3, 20000);
        QVERIFY(!bob.received.contains(" KICK ") && !bob.received.contains("from outside"));
        ann.take(1);
        QTRY_VERIFY_WITH_TIMEOUT(bob.places[0] == "Ann" && ann.list == QByteArrayList{"Bob"} && bob.list == QByteArrayList{"Ann"}, 20000);
        // Sessions of this program among them: every list, theirs and ours, stays whole through comings and goings.
        LobbySession cy("Cy", "#TavarineNET_0"), dee("Dee", "#TavarineNET_0");
        for (LobbySession *s : {&cy, &dee})
            s->Form_Load(server.address());
        const auto sorted = [](QByteArrayList names) {  // in any order: who came first is a race
            std::sort(names.begin(), names.end());
            return names.join(',');
        };
        const auto lists = [&](LobbySession &s, const char *names) { return sorted(SessionProbe{s}.members().rows()) == names; };
        QTRY_VERIFY_WITH_TIMEOUT(lists(cy, "Ann,Bob,Dee") && lists(dee, "Ann,Bob,Cy"), 20000);
        QTRY_VERIFY2_WITH_TIMEOUT(sorted(ann.list) == "Bob,Cy,Dee" && sorted(bob.list) == "Ann,Cy,Dee",
                                  ann.list.join(',') + " / " + bob.list.join(','), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(SessionProbe{cy}.hut().HutSlots()[0], QByteArray("Ann"), 20000);
        cy.Player_Click(1);
        QTRY_COMPARE_WITH_TIMEOUT(ann.places[1], QByteArray("Cy"), 20000);
        bob.send("QUIT :bye\r\n");  // Ann empties her list and her hut, and hears everybody again
        QTRY_VERIFY_WITH_TIMEOUT(sorted(ann.list) == "Cy,Dee" && ann.places[1] == "Cy", 20000);
        QVERIFY(lists(cy, "Ann,Dee") && lists(dee, "Ann,Cy"));
    }

    // The server witnesses who hosts: a stranger answering a newcomer's JOIN with a private claim on
    // place 1 keeps it out of nobody's hut, and the host lets its member into the closed hut channel.
    void witness_data() { servers_data(); }
    void witness()
    {
        ON_A_REAL_SERVER();
        RealIrcServer server;
        PlainIrcClient eve;
        QVERIFY(server.start({.kind = RealIrcServer::Kind(kind)}) && eve.enter(server.port(), "EveOnTavNET"));
        LobbySession bob("Bob", "#TavarineNET_3"), ann("Ann", "#TavarineNET_3");
        bob.Form_Load(server.address());
        QTRY_VERIFY_WITH_TIMEOUT(SessionProbe{bob}.life().inLobby(), 20000);
        bob.Player_Click(0);
        QVERIFY(arrives(eve.received, " :...TAVHUT1 Bob> 1|||\r\n"));
        QTRY_COMPARE_WITH_TIMEOUT(SessionProbe{bob}.hut().attestedHost(), QByteArray("Bob"), 20000);
        ann.Form_Load(server.address());
        QVERIFY(arrives(eve.received, ":AnnOnTavNET!"));
        eve.send("PRIVMSG AnnOnTavNET :...TAVHUT1 Eve> 1|||\r\n");
        const HutModel &hut = SessionProbe{ann}.hut();
        QTRY_VERIFY_WITH_TIMEOUT(hut.attestedHost() == "Bob" && hut.claimants(1) == QByteArrayList{"Bob"}, 20000);
        ann.Player_Click(1);
        QCOMPARE(hut.MyHutSlot(), 2);
        eve.send("JOIN #TavarineNET_3-hut\r\n");  // Ann is let in, Eve is not
        QTRY_VERIFY_WITH_TIMEOUT(eve.received.contains(" 473 EveOnTavNET #TavarineNET_3-hut ") && hut.inHutChannel(), 20000);
    }
};

QTEST_GUILESS_MAIN(TestCrowdE2E)
#include "tst_crowd_e2e.moc"
