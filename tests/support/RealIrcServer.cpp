#include "RealIrcServer.h"

#include "PlainIrcClient.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <list>
#include <unistd.h>

// Free ports, all different, below the kernel's range for outgoing connections (Linux: 32768 up),
// so that no client takes one before the server binds it.
static QList<quint16> freePorts(int count)
{
    std::list<QTcpServer> probes;  // held until all are picked
    QList<quint16> ports;
    while (ports.size() < count)
        if (const quint16 port = QRandomGenerator::global()->bounded(20000, 32768); probes.emplace_back().listen(QHostAddress::LocalHost, port))
            ports += port;
    return ports;
}

static QString shipped(const char *name)
{
    QFile file(QStringLiteral(TAV_SERVER_DIR "/") + name);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

static QString serverName(bool second) { return second ? "irc2.tavarine.local" : "irc.tavarine.local"; }

QString RealIrcServer::program(Kind kind)
{
    return QStandardPaths::findExecutable(kind == NgIrcd ? "ngircd" : "inspircd", {"/usr/sbin", "/usr/bin"});
}

bool RealIrcServer::start(const Options &options)
{
    for (int attempt = 0; attempt < 3; ++attempt, stop())  // another program can take the port first
        if (m_port = freePorts(1)[0]; configure(options) && run())
            return true;
    return false;
}

bool RealIrcServer::startLinked(RealIrcServer &a, RealIrcServer &b, const Options &options)
{
    const QList<quint16> ports = freePorts(4);
    a.m_port = ports[0], a.m_linkPort = ports[1], a.m_peer = &b;
    b.m_port = ports[2], b.m_linkPort = ports[3], b.m_peer = &a, b.m_dials = true;
    return a.configure(options) && b.configure(options) && a.run() && b.run() && a.waitLinked() && b.waitLinked();
}

bool RealIrcServer::configure(const Options &options)
{
    m_kind = options.kind;
    const QString dir = m_dir.path(), ping = QString::number(options.pingSeconds);
    bool ok = QFile::setPermissions(dir, QFile::Permissions(0x7777)) && (QDir(dir).exists("conf.d") || QDir(dir).mkdir("conf.d"));
    QString conf = shipped(m_kind == NgIrcd ? "ngircd.conf" : "inspircd.conf");
    const auto put = [&](const QString &from, const QString &to) {
        ok = ok && conf.contains(from);
        conf.replace(from, to);
    };
    const qsizetype lobbies = conf.indexOf("# The five lobbies");  // they come last in both files
    ok = ok && lobbies > 0;
    if (!options.lobbyChannels)
        conf.truncate(lobbies);
    if (m_kind == NgIrcd) {  // ngircd takes a setting's last value: what is appended wins
        if (m_peer)
            conf += shipped(m_dials ? "ngircd-link-second.conf" : "ngircd-link-first.conf");
        if (m_dials)
            put("Port = 6664", QStringLiteral("Port = %1").arg(m_peer->m_port));
        conf += QStringLiteral("[Global]\nListen = 127.0.0.1\nPorts = %1\nPidFile = %2/ngircd.pid\n[Options]\nIncludeDir = %2/conf.d\n"
                               "[Limits]\nPingTimeout = %3\nPongTimeout = %3\nMaxConnectionsIP = 0\nConnectRetry = 5\n%4")
                    .arg(m_port).arg(dir, ping, options.defaultFlood ? "" : "MaxPenaltyTime = 0\n");
    } else {
        put("port=\"6664\"", QStringLiteral("port=\"%1\"").arg(m_port));
        put("address=\"\"", "address=\"127.0.0.1\"");
        put("/run/inspircd", dir);
        put("pingfreq=\"90\"", "pingfreq=\"" + ping + '"');
        if (options.clientsPerAddress > 0)
            put("localmax=\"20\" globalmax=\"20\"", QStringLiteral("localmax=\"%1\" globalmax=\"%1\"").arg(options.clientsPerAddress));
        if (!options.defaultFlood)
            put("threshold=\"10\" commandrate=\"1000\" fakelag=\"yes\" recvq=\"8192\"",
                "threshold=\"100000\" commandrate=\"1000000\" fakelag=\"no\" recvq=\"65536\"");
        if (m_peer) {
            put("name=\"" + serverName(false) + '"', "name=\"" + serverName(m_dials) + '"');
            conf += QStringLiteral("<module name=\"spanningtree\">\n<bind address=\"127.0.0.1\" port=\"%1\" type=\"servers\">\n"
                                   "<link name=\"%2\" ipaddr=\"127.0.0.1\" port=\"%3\" sendpass=\"linkpass\" recvpass=\"linkpass\">\n%4")
                        .arg(m_linkPort).arg(serverName(!m_dials)).arg(m_peer->m_linkPort)
                        .arg(m_dials ? "<autoconnect period=\"2\" server=\"" + serverName(false) + "\">\n" : "");
        }
    }
    QFile file(m_dir.filePath("server.conf"));
    ok = ok && file.open(QIODevice::WriteOnly) && file.write(conf.toUtf8()) > 0;
    m_error = ok ? QString() : "cannot write a config from " TAV_SERVER_DIR " in " + dir;
    return ok;
}

bool RealIrcServer::run()
{
    const QString conf = m_dir.filePath("server.conf");
    QStringList args{"--pdeathsig=KILL"};
    if (::geteuid() == 0)
        args += {"--reuid=nobody", "--regid=nogroup", "--clear-groups"};
    args += m_kind == NgIrcd ? QStringList{program(m_kind), "-n", "-f", conf} : QStringList{program(m_kind), "--config", conf, "--nofork", "--nolog"};
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setStandardOutputFile(m_dir.filePath("console.log"), QIODevice::Append);  // a busy server never waits for a reader
    m_process.start("setpriv", args);
    const bool up = m_process.waitForStarted() && QTest::qWaitFor([this] {  // up once the port takes a connection
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, m_port);
        return m_process.state() == QProcess::NotRunning || s.waitForConnected(200);
    }, 15000) && m_process.state() == QProcess::Running;
    m_error = up ? QString() : "the server did not start:\n" + output().right(2000);
    return up;
}

bool RealIrcServer::waitLinked(int ms)
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

void RealIrcServer::stop()
{
    m_process.terminate();
    if (!m_process.waitForFinished(5000))
        m_process.kill(), m_process.waitForFinished(5000);
}

QString RealIrcServer::output() const
{
    QFile log(m_dir.filePath("console.log"));
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
}
