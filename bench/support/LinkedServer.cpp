#include "LinkedServer.h"

#include "PlainIrcClient.h"

#include <QElapsedTimer>

bool LinkedServer::startPair(LinkedServer &a, LinkedServer &b, const Options &options, int clientsPerAddress)
{
    const QList<quint16> ports = freePorts(4);
    a.m_port = ports[0], a.m_linkPort = ports[1], a.m_peer = &b;
    b.m_port = ports[2], b.m_linkPort = ports[3], b.m_peer = &a, b.m_dials = true;
    a.m_clientsPerAddress = b.m_clientsPerAddress = clientsPerAddress;
    return a.configure(options) && b.configure(options) && a.run() && b.run() && a.waitLinked() && b.waitLinked();
}

bool LinkedServer::adapt(QString &conf, const Options &)
{
    const auto put = [&](const QString &from, const QString &to) {
        const bool had = conf.contains(from);
        conf.replace(from, to);
        return had;
    };
    if (m_kind == NgIrcd) {  // the second's name and the link; its port and pid file yield to the run's
        conf += shipped(m_dials ? "ngircd-link-second.conf" : "ngircd-link-first.conf");
        return !m_dials || put("Port = 6664", QStringLiteral("Port = %1").arg(m_peer->m_port));
    }
    const bool named = put("name=\"" + serverName(false) + '"', "name=\"" + serverName(m_dials) + '"')
        && put("localmax=\"20\" globalmax=\"20\"", QStringLiteral("localmax=\"%1\" globalmax=\"%1\"").arg(m_clientsPerAddress));
    conf += QStringLiteral("<module name=\"spanningtree\">\n<bind address=\"127.0.0.1\" port=\"%1\" type=\"servers\">\n"
                           "<link name=\"%2\" ipaddr=\"127.0.0.1\" port=\"%3\" sendpass=\"linkpass\" recvpass=\"linkpass\">\n%4")
                .arg(m_linkPort).arg(serverName(!m_dials)).arg(m_peer->m_linkPort)
                .arg(m_dials ? "<autoconnect period=\"2\" server=\"" + serverName(false) + "\">\n" : "");
    return named;
}

bool LinkedServer::waitLinked(int ms)
{
    static int probes = 0;  // a probe can outlive its socket on the server: never reuse a nickname
    PlainIrcClient probe;
    QElapsedTimer asked;
    const QByteArray peer = ' ' + serverName(!m_dials).toUtf8() + ' ';
    return probe.enter(m_port, "linkprobe" + QByteArray::number(++probes), {}) && QTest::qWaitFor([&] {
        if (!asked.isValid() || asked.hasExpired(1000))
            probe.send("LINKS\r\n"), asked.start();
        return probe.received.contains(peer);
    }, ms);
}
