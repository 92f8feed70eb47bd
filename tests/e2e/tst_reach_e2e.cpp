// TLS on real servers: a certificate of a CA the machine trusts registers; a self-signed one is refused,
// with why and its fingerprint, until pinned; another pin is refused with both fingerprints.
#include "Fixtures.h"
#include "RealIrcServer.h"

#include <QSignalSpy>
#include <QSslConfiguration>
#include <QTest>

// Connects and registers; true once the welcome (001) arrives.
static bool registers(LobbySocket &socket, quint16 port)
{
    QByteArray read;
    QObject::connect(&socket, &LobbySocket::dataArrival, &socket, [&](const QByteArray &raw) { read += raw; });
    socket.setServer({QStringLiteral("localhost"), port, true});
    socket.connectToServer();
    if (QTest::qWaitFor([&] { return socket.state() == LobbySocket::Connected || socket.state() == LobbySocket::Error; }, 20000)
        && socket.send("NICK AnnOnTavNET\r\nUSER ann 0 * :Ann\r\n"))
        (void)QTest::qWaitFor([&] { return read.contains(" 001 AnnOnTavNET ") || socket.state() != LobbySocket::Connected; }, 20000);
    socket.disconnect(&socket);
    socket.abort();
    return read.contains(" 001 AnnOnTavNET ");
}

class TestReachE2E : public QObject {
    Q_OBJECT
private slots:
    void tls_data()
    {
        QTest::addColumn<int>("server");
        QTest::newRow("ngircd") << int(RealIrcServer::NgIrcd);
        QTest::newRow("inspircd") << int(RealIrcServer::InspIRCd);
    }
    void tls()
    {
        QFETCH(int, server);
        const auto kind = RealIrcServer::Kind(server);
        if (!RealIrcServer::available(kind))
            QSKIP("this server is not installed");
        RealIrcServer trusted, selfSigned;
        QVERIFY2(trusted.start({.kind = kind, .tls = RealIrcServer::Options::CaSigned}), qPrintable(trusted.errorString()));
        QVERIFY2(selfSigned.start({.kind = kind, .tls = RealIrcServer::Options::SelfSigned}), qPrintable(selfSigned.errorString()));
        // The machine trusts this run's CA: the product reads the default configuration at each try.
        QSslConfiguration machine = QSslConfiguration::defaultConfiguration();
        machine.addCaCertificates(trusted.caFile());
        QSslConfiguration::setDefaultConfiguration(machine);
        const auto print = [](const RealIrcServer &s) { return LobbySocket::fingerprint(QSslCertificate::fromPath(s.certificateFile()).value(0)); };

        LobbySocket socket;
        QVERIFY(registers(socket, trusted.tlsPort()));
        QVERIFY(socket.localIP() == "127.0.0.1" && print(selfSigned).size() == 95);  // 32 bytes in hex, with colons
        QSignalSpy refused(&socket, &LobbySocket::tlsRefused);
        for (const QByteArray &pin : {QByteArray(), print(trusted)}) {  // nothing pinned, then another certificate
            socket.setPinnedFingerprint(pin);
            QVERIFY(!registers(socket, selfSigned.tlsPort()) && socket.lastFailure() == LobbySocket::Failure::TlsRefused);
            QCOMPARE(refused.size(), 1);
            const QList<QVariant> told = refused.takeFirst();
            QCOMPARE(told[0].toString(), pin.isEmpty() ? "self-signed" : "not the pinned certificate, self-signed");
            QVERIFY(told[1].toByteArray() == print(selfSigned) && told[2].toByteArray() == pin);
        }
        socket.setPinnedFingerprint(print(selfSigned).toLower().replace(':', ""));  // as a person might paste it
        QVERIFY(registers(socket, selfSigned.tlsPort()) && refused.isEmpty());
        // The lobby itself: the player is asked, trusts that certificate, and is in the lobby over TLS.
        struct Trusting : RecordingView {
            QByteArray pinned;
            void askTrust(const QString &, const QString &, const QByteArray &print, const QByteArray &, std::function<void(bool)> yes) override
            {
                pinned = print;
                yes(true);
            }
        } view;
        LobbySession ann("Bea", "#TavarineNET_3");  // Ann may still be leaving
        ann.setView(&view);
        ann.Form_Load({ServerAddress{QStringLiteral("localhost"), selfSigned.tlsPort(), true}}, [&](const ServerAddress &) { return view.pinned; });
        QTRY_VERIFY2_WITH_TIMEOUT(SessionProbe{ann}.life().inLobby(), qPrintable(view.outOfLobby + ann.inboundLog().text()), 30000);
        QVERIFY(view.pinned == print(selfSigned) && view.server.endsWith(" (TLS)"));
    }
};

QTEST_GUILESS_MAIN(TestReachE2E)
#include "tst_reach_e2e.moc"
