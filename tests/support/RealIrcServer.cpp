#include "RealIrcServer.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <QDir>
#include <QRegularExpression>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <list>
#include <unistd.h>

// Free ports, all different, below the kernel's range for outgoing connections (Linux: 32768 up),
// so that no client takes one before the server binds it.
QList<quint16> RealIrcServer::freePorts(int count)
{
    std::list<QTcpServer> probes;  // held until all are picked
    QList<quint16> ports;
    while (ports.size() < count)
        if (const quint16 port = QRandomGenerator::global()->bounded(20000, 32768); probes.emplace_back().listen(QHostAddress::LocalHost, port))
            ports += port;
    return ports;
}

QString RealIrcServer::shipped(const char *name)
{
    QFile file(QStringLiteral(TAV_SERVER_DIR "/") + name);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString RealIrcServer::program(Kind kind)
{
    return QStandardPaths::findExecutable(kind == NgIrcd ? "ngircd" : "inspircd", {"/usr/sbin", "/usr/bin"});
}

bool RealIrcServer::start(const Options &options)
{
    for (int attempt = 0; attempt < 3; ++attempt, stop()) {  // another program can take the port first
        const QList<quint16> ports = freePorts(2);
        m_port = ports[0];
        m_tlsPort = ports[1];
        if (configure(options) && run())
            return true;
    }
    return false;
}

bool RealIrcServer::configure(const Options &options)
{
    m_kind = options.kind;
    m_error.clear();
    const QString dir = m_dir.path(), ping = QString::number(options.pingSeconds);
    bool ok = QFile::setPermissions(dir, QFile::Permissions(0x7777)) && (QDir(dir).exists("conf.d") || QDir(dir).mkdir("conf.d"));
    QString conf = shipped(m_kind == NgIrcd ? "ngircd.conf" : "inspircd.conf");
    const auto put = [&](const QString &from, const QString &to) {
        ok = ok && conf.contains(from);
        conf.replace(from, to);
    };
    const QString tlsFolder = "/etc/tavarine-lobby/tls";
    ok = ok && conf.contains(tlsFolder) && (options.tls == Options::NoTls || makeCertificate(options.tls));
    conf.replace(tlsFolder, dir);
    const qsizetype lobbies = conf.indexOf("# The five lobbies");  // they come last in both files
    ok = ok && lobbies > 0;
    if (!options.lobbyChannels)
        conf.truncate(lobbies);
    ok = ok && adapt(conf, options);
    // The run's own settings come last: ngircd keeps a setting's last value, and the link files
    // name a port and a pid file of their own.
    if (m_kind == NgIrcd) {
        conf += QStringLiteral("[Global]\nListen = %6\nPorts = %1\nPidFile = %2/ngircd.pid\n[Options]\nIncludeDir = %2/conf.d\n"
                               "[Limits]\nPingTimeout = %3\nPongTimeout = %3\nMaxConnectionsIP = 0\nConnectRetry = 5\n%4[SSL]\nPorts = %5\n")
                    .arg(m_port).arg(dir, ping, options.defaultFlood ? "" : "MaxPenaltyTime = 0\n",
                                     options.tls ? QString::number(m_tlsPort) : QString(), options.listen);
    } else {
        put("port=\"6664\"", QStringLiteral("port=\"%1\"").arg(m_port));
        put("address=\"\"", "address=\"" + options.listen + '"');
        put("/run/inspircd", dir);
        if (options.tls)
            put("port=\"6697\"", QStringLiteral("port=\"%1\"").arg(m_tlsPort));
        else  // the module, its profile and the TLS port
            ok = ok && conf.remove(QRegularExpression("^<.*ssl.*>\n", QRegularExpression::MultilineOption)).count("ssl") == 0;
        put("pingfreq=\"90\"", "pingfreq=\"" + ping + '"');
        if (!options.defaultFlood)
            put("threshold=\"10\" commandrate=\"1000\" fakelag=\"yes\" recvq=\"8192\"",
                "threshold=\"100000\" commandrate=\"1000000\" fakelag=\"no\" recvq=\"65536\"");
    }
    QFile file(m_dir.filePath("server.conf"));
    ok = ok && file.open(QIODevice::WriteOnly) && file.write(conf.toUtf8()) > 0;
    if (!ok && m_error.isEmpty())
        m_error = "cannot write a config from " TAV_SERVER_DIR " in " + dir;
    return ok;
}

// With openssl, in the run's folder: server.key and server.crt (for localhost and 127.0.0.1),
// and for a CA-signed one ca.crt. Readable by the server's user.
bool RealIrcServer::makeCertificate(Options::Tls tls)
{
    const QString key = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 -keyout ",
                  leaf = " -subj /CN=localhost -addext subjectAltName=DNS:localhost,IP:127.0.0.1" + key + "server.key";
    const QStringList steps = tls == Options::SelfSigned
        ? QStringList{"req -x509 -out server.crt" + leaf}
        : QStringList{"req -x509 -subj /CN=test-CA -out ca.crt" + key + "ca.key", "req -out server.csr" + leaf,
                      "x509 -req -in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial -copy_extensions copy -days 2 -out server.crt"};
    for (const QString &step : steps) {
        QProcess openssl;
        openssl.setWorkingDirectory(m_dir.path());
        openssl.setProcessChannelMode(QProcess::MergedChannels);
        openssl.start("openssl", step.split(' '));
        if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0)
            return m_error = "openssl " + step + ":\n" + QString::fromLocal8Bit(openssl.readAll()), false;
    }
    return QFile::setPermissions(m_dir.filePath("server.key"), QFile::ReadOwner | QFile::ReadOther);
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
