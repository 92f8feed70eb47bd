// The socket over TLS on real servers: a certificate from a CA the machine trusts registers;
// a self-signed one is refused, with why and its fingerprint, until the player pins it; and a
// pin that no longer matches is refused, with both fingerprints.
#include "RealIrcServer.h"
#include "net/LobbySocket.h"

#include <QSignalSpy>
#include <QSslConfiguration>
#include <QTest>

// Connects and registers; true once the welcome (001) arrives.
static bool registers(LobbySocket &socket)
{
    QByteArray read;
    QObject::connect(&socket, &LobbySocket::dataArrival, &socket, [&](const QByteArray &raw) { read += raw; });
    QObject::connect(&socket, &LobbySocket::stateChanged, &socket, [&](int state) {
        if (state == LobbySocket::Connected)
            socket.send("NICK AnnOnTavNET\r\nUSER ann 0 * :Ann\r\n");
    });
    socket.connectToServer();
    const bool welcomed = QTest::qWaitFor([&] { return read.contains(" 001 AnnOnTavNET ") || socket.state() == LobbySocket::Error; }, 20000)
                       && socket.state() == LobbySocket::Connected;
    socket.disconnect(&socket);
    socket.abort();
    return welcomed;
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
        socket.setServer(*ServerAddress::parse(QStringLiteral("ircs://localhost:%1").arg(trusted.tlsPort())));
        QVERIFY(registers(socket));
        socket.setServer(*ServerAddress::parse(QStringLiteral("ircs://127.0.0.1:%1").arg(selfSigned.tlsPort())));
        QSignalSpy refused(&socket, &LobbySocket::tlsRefused);
        for (const QByteArray &pin : {QByteArray(), print(trusted)}) {  // nothing pinned, then another certificate
            socket.setPinnedFingerprint(pin);
            QVERIFY(!registers(socket));
            QVERIFY(refused.size() == 1 && socket.lastFailure() == LobbySocket::Failure::TlsRefused);
            const QList<QVariant> told = refused.takeFirst();
            QCOMPARE(told[0].toString(), pin.isEmpty() ? "self-signed" : "not the pinned certificate, self-signed");
            QCOMPARE(told[1].toByteArray(), print(selfSigned));
            QCOMPARE(told[2].toByteArray(), pin);
        }
        QVERIFY(print(selfSigned).size() == 95 && !LobbySocket::sameFingerprint(print(selfSigned), print(trusted)));
        socket.setPinnedFingerprint(print(selfSigned).toLower().replace(':', ""));  // as a person might paste it
        QVERIFY(registers(socket));
        QVERIFY(refused.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestReachE2E)
#include "tst_reach_e2e.moc"
