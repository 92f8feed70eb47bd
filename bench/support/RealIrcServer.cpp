#include "RealIrcServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

namespace {

constexpr int StartTimeoutMs = 15000;
constexpr int LinkTimeoutMs = 30000;
constexpr int StartAttempts = 3;  // the picked port can be taken before the server binds it
constexpr int PingSeconds = 120;  // idle time before the server pings; longer than any run here

bool runningAsRoot() { return ::geteuid() == 0; }

QString findProgram(const QString &name)
{
    QString path = QStandardPaths::findExecutable(name);
    if (path.isEmpty())
        path = QStandardPaths::findExecutable(name, {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin"), QStringLiteral("/sbin")});
    return path;
}

QString programName(RealIrcServer::Kind kind)
{
    return kind == RealIrcServer::Kind::NgIrcd ? QStringLiteral("ngircd") : QStringLiteral("inspircd");
}

quint16 pickFreePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

bool writeFile(const QString &path, const QByteArray &text)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size())
        return false;
    file.close();
    // The server may run as nobody and must read it whatever the umask.
    return file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                               | QFileDevice::ReadOther);
}

QByteArray ngircdConfig(const RealIrcServer::Options &o, quint16 port, const QString &dir,
                        const QString &peerName, quint16 peerPort, const QString &password)
{
    QString c = QStringLiteral(
        "[Global]\n"
        "\tName = %1\n"
        "\tInfo = test server\n"
        "\tListen = 127.0.0.1\n"
        "\tPorts = %2\n"
        "\tMotdPhrase = \"test\"\n"
        "\tPidFile = %3/ngircd.pid\n"
        "\tAdminInfo1 = test\n\tAdminInfo2 = test\n\tAdminEMail = test@localhost\n"
        "[Limits]\n"
        "\tMaxNickLength = 31\n"
        "\tPingTimeout = %4\n"
        "\tPongTimeout = %4\n"
        "\tMaxConnectionsIP = 0\n"
        "\tMaxJoins = 0\n"
        "\tConnectRetry = 5\n")
        .arg(o.serverName).arg(port).arg(dir).arg(PingSeconds);
    if (!o.defaultFloodSettings)
        c += QStringLiteral("\tMaxPenaltyTime = 0\n");  // logs a "not recommended" warning
    c += QStringLiteral(
        "[Options]\n"
        "\tDNS = no\n"
        "\tIdent = no\n"
        "\tPAM = no\n"
        "\tIncludeDir = %1/conf.d\n").arg(dir);  // an empty folder, or it reads the system's
    if (!peerName.isEmpty()) {
        c += QStringLiteral("[Server]\n\tName = %1\n\tMyPassword = %2\n\tPeerPassword = %2\n")
                 .arg(peerName, password);
        c += peerPort ? QStringLiteral("\tHost = 127.0.0.1\n\tPort = %1\n\tPassive = no\n").arg(peerPort)
                      : QStringLiteral("\tPassive = yes\n");
    }
    return c.toUtf8();
}

QByteArray inspircdConfig(const RealIrcServer::Options &o, quint16 port, const QString &dir)
{
    const QString flood = o.defaultFloodSettings
        ? QString()
        : QStringLiteral(" threshold=\"100000\" commandrate=\"1000000\" fakelag=\"no\" recvq=\"65536\""
                         " softsendq=\"65536\" hardsendq=\"262144\"");
    return QStringLiteral(
        "<server name=\"%1\" description=\"test server\" network=\"TestNet\">\n"
        "<admin name=\"test\" nick=\"test\" email=\"test@localhost\">\n"
        "<bind address=\"127.0.0.1\" port=\"%2\" type=\"clients\">\n"
        "<connect allow=\"*\" timeout=\"20\" pingfreq=\"%3\" resolvehostnames=\"no\" useident=\"no\""
        " localmax=\"1000\" globalmax=\"1000\" maxconnwarn=\"off\"%4>\n"
        "<limits maxnick=\"31\" maxident=\"30\" maxchan=\"64\" maxreal=\"128\">\n"
        "<pid file=\"%5/inspircd.pid\">\n"
        "<files motd=\"%5/motd.txt\">\n"
        "<dns timeout=\"1\">\n")
        .arg(o.serverName).arg(port).arg(PingSeconds).arg(flood, dir)
        .toUtf8();
}

// Registers a throwaway client and asks LINKS until the reply names peerName.
bool seesServer(quint16 port, const QString &peerName, const QDeadlineTimer &deadline)
{
    static int serial = 0;
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, port);
    if (!s.waitForConnected(5000))
        return false;
    const QByteArray nick = "linkprobe" + QByteArray::number(++serial);
    s.write("NICK " + nick + "\r\nUSER " + nick + " 0 * :probe\r\n");
    QByteArray seen;
    bool registered = false;
    QDeadlineTimer nextAsk(0);
    while (!deadline.hasExpired() && s.state() == QAbstractSocket::ConnectedState) {
        if (registered && nextAsk.hasExpired()) {
            s.write("LINKS\r\n");
            nextAsk.setRemainingTime(500);
        }
        s.waitForReadyRead(100);
        seen += s.readAll();
        registered = registered || seen.contains(" 001 ");
        for (const QByteArray &line : seen.split('\n'))
            if (line.contains(" 364 ") && line.contains(peerName.toUtf8())) {
                s.write("QUIT\r\n");
                s.waitForBytesWritten(1000);
                return true;
            }
        seen = seen.mid(seen.lastIndexOf('\n') + 1);
    }
    return false;
}

}  // namespace

RealIrcServer::RealIrcServer() = default;

RealIrcServer::~RealIrcServer() { stop(); }

bool RealIrcServer::available(Kind kind)
{
    return !findProgram(programName(kind)).isEmpty()
        && (!runningAsRoot() || !findProgram(QStringLiteral("setpriv")).isEmpty());
}

bool RealIrcServer::start() { return start(Options{}); }

bool RealIrcServer::start(const Options &options)
{
    m_link.reset();
    return startOnFreePort(options);
}

bool RealIrcServer::startOnFreePort(const Options &options)
{
    stop();
    m_options = options;
    for (int attempt = 1; attempt <= StartAttempts; ++attempt) {
        m_dir.reset();  // a fresh config for each port
        const quint16 port = pickFreePort();
        if (port == 0)
            return fail(QStringLiteral("no free loopback port"));
        if (startOnce(port))
            return true;
        if (!m_exitedEarly)
            break;  // only a lost port race is worth another try
    }
    return false;
}

bool RealIrcServer::startOnce(quint16 port)
{
    m_error.clear();
    m_exitedEarly = false;
    if (!available(m_options.kind))
        return fail(programName(m_options.kind) + QStringLiteral(" (or setpriv, as root) not found"));
    if (!m_dir) {
        m_dir = std::make_unique<QTemporaryDir>();
        if (!m_dir->isValid())
            return fail(QStringLiteral("cannot create a temporary folder: ") + m_dir->errorString());
        // As root the server runs as nobody, which reads the config and writes the pid file here.
        constexpr auto everyone = QFileDevice::Permissions(0x7777);  // rwx for all
        if (runningAsRoot() && !QFile::setPermissions(m_dir->path(), everyone))
            return fail(QStringLiteral("cannot open up ") + m_dir->path());
        if (!writeConfig(port))
            return fail(QStringLiteral("cannot write the config in ") + m_dir->path());
    }
    m_port = port;

    QStringList args;
    const QString program = findProgram(programName(m_options.kind));
    if (m_options.kind == Kind::NgIrcd)
        args << QStringLiteral("-n") << QStringLiteral("-f") << m_configPath;
    else
        args << QStringLiteral("--config") << m_configPath << QStringLiteral("--nofork") << QStringLiteral("--nolog");

    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    // A file, not a pipe: a busy server must never block on a full pipe.
    m_process->setStandardOutputFile(m_dir->filePath(QStringLiteral("console.log")), QIODevice::Append);
    m_process->setStandardInputFile(QProcess::nullDevice());
#ifdef Q_OS_LINUX
    // The server dies with the bench even if the bench crashes (strictly: with
    // the starting thread, so start servers from the main thread).
    m_process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
#endif
    if (runningAsRoot()) {
        // InspIRCd refuses root; ngircd would drop to nobody itself, but that
        // clears the parent-death signal, so both go through setpriv.
        args.prepend(program);
        args = QStringList{QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                           QStringLiteral("--clear-groups"), QStringLiteral("--pdeathsig=SIGKILL")}
            + args;
        m_process->start(findProgram(QStringLiteral("setpriv")), args);
    } else {
        m_process->start(program, args);
    }
    if (!m_process->waitForStarted(StartTimeoutMs))
        return fail(QStringLiteral("cannot run ") + program + QStringLiteral(": ") + m_process->errorString());
    return waitUntilListening();
}

bool RealIrcServer::writeConfig(quint16 port)
{
    const QString dir = m_dir->path();
    if (m_options.kind == Kind::NgIrcd) {
        m_configPath = dir + QStringLiteral("/ngircd.conf");
        if (!QDir(dir).mkdir(QStringLiteral("conf.d")))
            return false;
        const Link link = m_link.value_or(Link{});
        return writeFile(m_configPath, ngircdConfig(m_options, port, dir, link.peerName, link.peerPort, link.password));
    }
    m_configPath = dir + QStringLiteral("/inspircd.conf");
    return writeFile(dir + QStringLiteral("/motd.txt"), "test\n")
        && writeFile(m_configPath, inspircdConfig(m_options, port, dir));
}

bool RealIrcServer::waitUntilListening()
{
    const QDeadlineTimer deadline(StartTimeoutMs);
    while (!deadline.hasExpired()) {
        if (m_process->state() == QProcess::NotRunning) {
            m_exitedEarly = true;
            return fail(QStringLiteral("the server exited during start-up"));
        }
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, m_port);
        if (probe.waitForConnected(1000)) {
            probe.abort();
            return true;
        }
        QTest::qWait(50);
    }
    return fail(QStringLiteral("the server did not listen within %1 s").arg(StartTimeoutMs / 1000));
}

void RealIrcServer::stop()
{
    if (!m_process || m_process->state() == QProcess::NotRunning)
        return;
    m_process->terminate();
    if (!m_process->waitForFinished(5000)) {
        m_process->kill();
        m_process->waitForFinished(5000);
    }
}

QString RealIrcServer::output() const
{
    if (!m_dir)
        return {};
    QFile log(m_dir->filePath(QStringLiteral("console.log")));
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
}

bool RealIrcServer::fail(const QString &what)
{
    m_error = what;
    const QString out = output().right(4000).trimmed();
    if (!out.isEmpty())
        m_error += QStringLiteral("\n--- server output ---\n") + out;
    stop();
    return false;
}

bool RealIrcServer::startLinkedPair(RealIrcServer &a, RealIrcServer &b, const Options &options)
{
    if (options.kind != Kind::NgIrcd) {
        a.m_error = QStringLiteral("linked pairs are ngircd only");
        return false;
    }
    const QString password = QStringLiteral("linkpass");
    Options peer = options;
    peer.serverName = QStringLiteral("peer.") + options.serverName;

    // b waits for the link; a dials it once b listens.
    b.m_link = Link{options.serverName, 0, password};
    if (!b.startOnFreePort(peer))
        return false;
    a.m_link = Link{peer.serverName, b.port(), password};
    if (!a.startOnFreePort(options))
        return false;

    const QDeadlineTimer deadline(LinkTimeoutMs);
    if (seesServer(a.port(), peer.serverName, deadline) && seesServer(b.port(), options.serverName, deadline))
        return true;
    a.fail(QStringLiteral("the servers did not link within %1 s").arg(LinkTimeoutMs / 1000));
    b.stop();
    return false;
}
