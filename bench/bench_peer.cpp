// CPU per received chat line: our session in a child process against another IRC
// client, each fed the same paced stream of lobby chat lines through one real server.
#include "SessionProbe.h"
#include "bench/Benchmarks.h"
#include "bench/ChatFlood.h"

#include "PlainIrcClient.h"
#include "RealIrcServer.h"
#include "RecordingView.h"
#include "session/LobbySession.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/prctl.h>
#include <unistd.h>

namespace {
const QByteArray Channel = "#TavarineNET_3";
int lines()
{
    return sized(100000, 2000);
}
constexpr ChatFlood::Pace PeerPace{10000, 10, 4000};  // window well below what the server queues
constexpr qint64 SendLimitMs = 75000;

// Counts the chat lines as they are shown and says so once all have come.
class CountingView : public RecordingView {
public:
    explicit CountingView(int expected) : m_expected(expected) {}
    void appendChat(const QString &line) override
    {
        RecordingView::appendChat(line);
        if (++count == m_expected)
            std::printf("done %d\n", count);
        else if (count % 500 == 0)
            std::printf("got %d\n", count);  // lets the sender keep a window
        else
            return;
        std::fflush(stdout);
    }
    int count = 0;

private:
    int m_expected;
};

void stop(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

void printFigures(const char *who, const FloodFigures &f)
{
    if (!f.failure.isEmpty()) {
        std::printf("  %-24s no figure: %s\n", who, f.failure.constData());
        return;
    }
    std::printf("  %-24s CPU %6lld ms while receiving (%.1f us/line), %6lld ms in all; %.1f s wall; peak %.1f MB\n",
                who, static_cast<long long>(f.cpuStreamMs), f.cpuStreamMs * 1000.0 / lines(),
                static_cast<long long>(f.cpuTotalMs), f.wallMs / 1000.0, f.peakKb / 1024.0);
}
}  // namespace

bool weechatAvailable()
{
    return !QStandardPaths::findExecutable(QStringLiteral("weechat-headless")).isEmpty();
}

bool hexchatAvailable()
{
    return !QStandardPaths::findExecutable(QStringLiteral("hexchat")).isEmpty()
        && (::geteuid() != 0 || !QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty());
}

namespace {
// HexChat as a person keeps it, with settings of its own: the nickname, straight into the
// channel without the network list, 10,000 lines of scrollback like the lobby's transcript;
// and so that it answers every probe: no CTCP flood guard, no send throttle. Over TLS it dials
// ircs:// and verifies the server's certificate through OpenSSL's default paths, so it is given
// the run's CA as SSL_CERT_FILE: verification stays on.
bool prepareHexChat(QProcess &process, const QTemporaryDir &home, const RealIrcServer &server,
                    const QByteArray &channel, bool overTls)
{
    const QString config = home.filePath(QStringLiteral("config"));
    QFile conf(config + QStringLiteral("/hexchat.conf"));
    if (!QDir().mkpath(config) || !conf.open(QIODevice::WriteOnly))
        return false;
    conf.write("irc_nick1 = hexpeer\ngui_slist_skip = 1\ntext_max_lines = 10000\n"
               "flood_ctcp_num = 1000000\nflood_ctcp_time = 1\nnet_throttle = 0\n");
    conf.close();
    const QString ca = home.filePath(QStringLiteral("ca.crt"));
    if (overTls && !QFile::copy(server.caFile(), ca))
        return false;
    // It refuses to run as root: as root it runs as nobody, who must write its folders.
    constexpr auto everyone = QFileDevice::Permissions(0x7777);
    for (const QString &path : {home.path(), config, conf.fileName()})
        QFile::setPermissions(path, everyone);
    QFile::setPermissions(ca, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (overTls)
        env.insert(QStringLiteral("SSL_CERT_FILE"), ca);
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("disabled:"));  // no bus to start
    process.setProcessEnvironment(env);
    const QString url = overTls ? QStringLiteral("ircs://localhost:%1/%2").arg(server.tlsPort())
                                : QStringLiteral("irc://%1:%2/%3").arg(server.host()).arg(server.port());
    QStringList args{QStringLiteral("--cfgdir=") + config,
                     url.arg(QString::fromLatin1(channel.mid(1)))};  // the channel without its '#'
    QString program = QStandardPaths::findExecutable(QStringLiteral("hexchat"));
    if (::geteuid() == 0) {
        args = QStringList{QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                           QStringLiteral("--clear-groups"), QStringLiteral("--pdeathsig=SIGKILL"), program}
            + args;
        program = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    }
    process.setProgram(program);
    process.setArguments(args);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    return true;
}
}  // namespace

FloodFigures receiveFlood(FloodReceiver receiver, const RealIrcServer &server, PlainIrcClient &sender,
                          const QByteArray &channel, int lines, const ChatFlood::Pace &pace, bool overTls)
{
    const bool peer = receiver != FloodReceiver::Session;
    FloodFigures out;
    QTemporaryDir home;
    QProcess process;
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    process.setStandardInputFile(QProcess::nullDevice());
    QByteArray readyMark;
    if (receiver == FloodReceiver::HexChat) {
        if (!prepareHexChat(process, home, server, channel, overTls)) {
            out.failure = "cannot write its config or the CA in " + home.path().toUtf8();
            return out;
        }
        readyMark = ":hexpeer!";  // its JOIN, seen by the sender
    } else if (peer) {
        const QString commands = QStringLiteral(
            "/plugin unload logger;/server add lab %1/%2;/set irc.server.lab.nicks weepeer;"
            "/set irc.server.lab.autojoin %3;/set irc.server.lab.anti_flood_prio_low 0;/connect lab")
            .arg(server.host()).arg(server.port()).arg(QString::fromLatin1(channel));
        process.setProgram(QStandardPaths::findExecutable(QStringLiteral("weechat-headless")));
        // -p: no plugin but irc, to see what its other plugins cost per line.
        process.setArguments(receiver == FloodReceiver::WeechatIrcOnly
                                 ? QStringList{QStringLiteral("--dir"), home.path(), QStringLiteral("-p"), QStringLiteral("-r"),
                                               QStringLiteral("/plugin load irc;") + commands}
                                 : QStringList{QStringLiteral("--dir"), home.path(), QStringLiteral("-r"), commands});
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
        readyMark = ":weepeer!";  // its JOIN, seen by the sender
    } else {
        process.setProgram(QCoreApplication::applicationFilePath());
        process.setArguments({QStringLiteral("--receive"), server.host(), QString::number(server.port()),
                              QString::number(lines)});
        readyMark = "...TAVLIST|||recv|||";  // its arrival announcement
    }
    const qsizetype seenFrom = sender.received.size();
    process.start();
    if (!process.waitForStarted(10000)) {
        out.failure = "did not start: " + process.errorString().toUtf8();
        return out;
    }
    const qint64 pid = process.processId();
    if (!runUntil([&] { return sender.received.indexOf(readyMark, seenFrom) >= 0; }, 30000)) {
        out.failure = "never joined the channel";
        stop(process);
        return out;
    }
    runUntil([] { return false; }, 1000, 50);  // its start-up chatter is over

    out.joinedKb = residentKb(pid);
    const qint64 cpuBefore = cpuMs(pid);
    QElapsedTimer wall;
    wall.start();
    int handled = 0;  // lines the receiver has confirmed
    QByteArray childOut;
    qsizetype scanned = sender.received.size();
    const QByteArray probeTo = receiver == FloodReceiver::HexChat ? "hexpeer" : "weepeer";
    const auto confirmed = [&] {
        if (peer) {
            const QByteArray got = sender.received;
            const QByteArray key = "\x01PING ";
            for (qsizetype pos; (pos = got.indexOf(key, scanned)) >= 0;) {
                const qsizetype end = got.indexOf('\x01', pos + key.size());
                if (end < 0)
                    break;
                handled = std::max(handled, got.mid(pos + key.size(), end - pos - key.size()).toInt());
                scanned = end;
            }
        } else {
            childOut += process.readAllStandardOutput();
            const qsizetype pos = childOut.lastIndexOf("got ");
            if (pos >= 0)
                handled = std::max(handled, childOut.mid(pos + 4, childOut.indexOf('\n', pos) - pos - 4).toInt());
            if (childOut.contains("done"))
                handled = lines;
        }
        return handled;
    };
    const auto failed = [&] {
        if (process.state() == QProcess::NotRunning)
            return true;
        if (peer)
            return sender.received.indexOf(" 401 ", seenFrom) >= 0;  // no such nick: it was dropped
        return childOut.contains("disconnected") || childOut.contains("timeout");
    };
    ChatFlood flood(sender, channel, pace);
    if (peer) {
        flood.after = [lines, probeTo](int n) {
            return n % PeerProbeEvery == 0 || n == lines
                ? "PRIVMSG " + probeTo + " :\x01PING " + QByteArray::number(n) + "\x01\r\n"
                : QByteArray();
        };
    }
    if (flood.runTo(lines, confirmed, failed, SendLimitMs)) {
        out.wallMs = wall.elapsed();
        out.cpuTotalMs = cpuMs(pid);
        out.cpuStreamMs = out.cpuTotalMs - cpuBefore;
        out.peakKb = peakMemoryKb(pid);
        out.endKb = residentKb(pid);
    } else {
        out.failure = "confirmed " + QByteArray::number(handled) + " of " + QByteArray::number(lines) + " lines ("
            + QByteArray::number(flood.sent()) + " sent)";
        if (process.state() == QProcess::NotRunning)
            out.failure += "; it exited";
        else if (failed())
            out.failure += "; the server dropped it";
        const QString reasons = server.output().section(QStringLiteral("Shutting down connection"), -1).section(u'\n', 0, 0);
        if (failed() && !reasons.isEmpty())
            out.failure += "; server: " + reasons.trimmed().toUtf8();
    }
    stop(process);
    return out;
}

int benchReceive(int argc, char *argv[])
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: tavarine-bench --receive HOST PORT LINES\n");
        return 2;
    }
    const int expected = std::atoi(argv[4]);
    CountingView view(expected);
    LobbySession session("recv", Channel);
    session.setView(&view);
    QObject::connect(&SessionProbe{session}.socket(), &LobbySocket::stateChanged, &session, [&](int state) {
        if (state == LobbySocket::Closing || state == LobbySocket::Error) {
            std::printf("disconnected after %d lines\n", view.count);
            std::fflush(stdout);
            QCoreApplication::exit(3);
        }
    });
    // Ends by itself; the bench normally stops it first.
    QTimer::singleShot(150000, [&] {
        std::printf("timeout after %d lines\n", view.count);
        std::fflush(stdout);
        QCoreApplication::exit(1);
    });
    session.Form_Load(ServerAddress{QString::fromLocal8Bit(argv[2]), quint16(std::atoi(argv[3])), false});
    return QCoreApplication::exec();
}

bool benchPeer()
{
    std::printf("peer: %d lobby chat lines through one ngircd (flood limits lifted), at %d lines/s\n"
                "  and at most %d lines ahead of what the receiver confirmed; CPU from /proc/PID/stat\n",
                lines(), PeerPace.linesPerSecond, PeerPace.window);
    RealIrcServer server;
    PlainIrcClient sender;
    if (!openFlood(server, sender, Channel))
        return false;
    const FloodFigures ours = receiveFlood(FloodReceiver::Session, server, sender, Channel, lines(), PeerPace);
    printFigures("ours (child session)", ours);
    if (!weechatAvailable()) {
        std::printf("  peer client: skipped, weechat-headless is not installed (apt-get install weechat-headless)\n");
        return ours.failure.isEmpty();
    }
    const FloodFigures peer = receiveFlood(FloodReceiver::Weechat, server, sender, Channel, lines(), PeerPace);
    printFigures("weechat-headless", peer);
    const FloodFigures ircOnly = receiveFlood(FloodReceiver::WeechatIrcOnly, server, sender, Channel, lines(), PeerPace);
    printFigures("  its irc plugin only", ircOnly);
    const auto ratio = [&](const char *what, const FloodFigures &other) {
        if (ours.failure.isEmpty() && other.failure.isEmpty() && other.cpuStreamMs > 0)
            std::printf("  ratio ours / %s, CPU while receiving: %.3f\n", what, double(ours.cpuStreamMs) / other.cpuStreamMs);
    };
    ratio("weechat-headless", peer);
    ratio("its irc plugin only", ircOnly);
    std::fflush(stdout);
    return ours.failure.isEmpty();
}
