// Registration, join and staying connected through ping rounds, on real servers.
#include "RealIrcServer.h"
#include "RecordingView.h"
#include "session/LobbySession.h"

#include <QSignalSpy>
#include <QTest>

class TestRegistrationE2E : public QObject {
    Q_OBJECT
private slots:
    void staysInTheChannelAcrossPingRounds_data();
    void staysInTheChannelAcrossPingRounds();
};

void TestRegistrationE2E::staysInTheChannelAcrossPingRounds_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("ngircd") << int(RealIrcServer::Kind::NgIrcd);
    QTest::newRow("inspircd") << int(RealIrcServer::Kind::InspIRCd);
}

void TestRegistrationE2E::staysInTheChannelAcrossPingRounds()
{
    QFETCH(int, kind);
    RealIrcServer server;
    RealIrcServer::Options options;
    options.kind = RealIrcServer::Kind(kind);
    options.pingTimeoutSeconds = 3;
    QVERIFY2(server.start(options), qPrintable(server.errorString()));

    LobbySession session("Ann", "#TavarineNET_3");
    RecordingView view;
    session.setView(&view);
    QSignalSpy joined(&session, &LobbySession::joined);
    session.Form_Load({server.host(), server.port()});
    QTRY_COMPARE_WITH_TIMEOUT(joined.count(), 1, 15000);
    QTRY_VERIFY_WITH_TIMEOUT(session.state().InboundLog.text().contains(" JOIN :#TavarineNET_3")
                                 || session.state().InboundLog.text().contains(" JOIN #TavarineNET_3"),
                             10000);
    QCOMPARE(view.chat, QStringList{LobbySession::WelcomeLine});

    // A third ping means the server took the answers to the first two.
    QTRY_VERIFY_WITH_TIMEOUT(session.state().InboundLog.text().count("PING :") >= 3, 60000);
    QCOMPARE(session.socket().state(), int(LobbySocket::Connected));
    session.Timer1_Timer();
    QCOMPARE(view.caption, QStringLiteral("Tavarine IRC Client, Connected, Logged in As: Ann in Lobby: 3"));
    QVERIFY(!session.state().InboundLog.text().contains("ERROR"));
}

QTEST_GUILESS_MAIN(TestRegistrationE2E)
#include "tst_registration_e2e.moc"
