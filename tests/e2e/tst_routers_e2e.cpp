// Two homes behind routers, each 192.168.1.0/24, and the server on the public side, in network
// namespaces that routers_e2e.sh makes; it runs "server" and each "player:<name>" as a process of
// its own, sharing a folder. Ann hosts from home 1 behind 203.0.113.2; Cy, in her home, dials her
// own address; Bob, in home 2 behind 203.0.113.3, dials her router.
#include "Fixtures.h"
#include "RealIrcServer.h"

#include <QSaveFile>

namespace {
QString shared(const char *name) { return qEnvironmentVariable("TAV_REACH_DIR") + '/' + name; }
}  // namespace

class TestReachE2E : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        if (qEnvironmentVariableIsEmpty("TAV_REACH_DIR"))
            QSKIP("run by routers_e2e.sh in network namespaces of its own");
    }
    void server()  // until the players are done
    {
        RealIrcServer server;
        QSaveFile port(shared("port"));
        QVERIFY2(server.start({.listen = QStringLiteral("0.0.0.0")}), qPrintable(server.errorString()));
        QVERIFY(port.open(QIODevice::WriteOnly) && port.write(QByteArray::number(server.port())) && port.commit());
        QVERIFY(QTest::qWaitFor([] { return QFile::exists(shared("done")); }, 60000));
    }
    void player_data()
    {
        QTest::addColumn<int>("place");
        QTest::addColumn<QString>("local");
        QTest::addColumn<QString>("router");
        QTest::addColumn<QString>("start");
        QTest::newRow("Ann") << 1 << "192.168.1.10" << "203.0.113.2" << "gxexec.exe tav3.exe /h tcp /nAnn /boundip 192.168.1.10";
        QTest::newRow("Bob") << 2 << "192.168.1.10" << "203.0.113.3" << "gxexec.exe tav3.exe /j tcp 203.0.113.2 /nBob /boundip 192.168.1.10";
        QTest::newRow("Cy") << 3 << "192.168.1.11" << "203.0.113.2" << "gxexec.exe tav3.exe /j tcp 192.168.1.10 /nCy /boundip 192.168.1.11";
    }
    void player()
    {
        QFETCH(int, place);
        QFile port(shared("port"));
        QVERIFY(QTest::qWaitFor([&] { return port.exists(); }, 10000) && port.open(QIODevice::ReadOnly));
        StandInLauncher launcher;
        RecordingView view;
        LobbySession s(QTest::currentDataTag(), "#TavarineNET_3");
        s.setView(&view);
        s.Form_Load(ServerAddress{"203.0.113.1", quint16(port.readAll().toUInt()), false});
        QTRY_VERIFY2_WITH_TIMEOUT(SessionProbe{s}.life().inLobby(), qPrintable(view.caption + '\n' + s.inboundLog().text()), 20000);
        SessionProbe{s}.skip(HutModel::AnswerWindowMs);
        // Everybody here is behind a router: each is told what hosting would take.
        const QString notice = " -=Players outside your network will reach your game at %1 only if your router forwards the game's port to %2.=-";
        QFETCH(QString, router);
        QFETCH(QString, local);
        QVERIFY2(view.chat.contains(notice.arg(router, local)), qPrintable(view.chat.join('\n')));
        const auto &places = SessionProbe{s}.hut().HutSlots();
        if (place == 1) {  // once both members are in the channel, so that they see her claim
            QTRY_VERIFY_WITH_TIMEOUT(SessionProbe{s}.members().isListed("Bob") && SessionProbe{s}.members().isListed("Cy"), 20000);
            s.Player_Click(0);
            QTRY_VERIFY_WITH_TIMEOUT(places[1] == "Bob" && places[2] == "Cy", 20000);
            s.LaunchButton_Click();
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(places[0], QByteArray("Ann"), 20000);
            s.Player_Click(place - 1);
        }
        QVERIFY(launcher.waitFor(1));
        QTEST(launcher.starts().value(0), "start");
    }
};

QTEST_GUILESS_MAIN(TestReachE2E)
#include "tst_routers_e2e.moc"
