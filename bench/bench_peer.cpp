// CPU per received chat line: our session in a child process against another IRC
// client, each fed the same paced stream of lobby chat lines through one real server.
#include "bench/Benchmarks.h"

#include "PlainIrcClient.h"
#include "RealIrcServer.h"
#include "RecordingView.h"
#include "session/LobbySession.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/prctl.h>

namespace {
const QByteArray Channel = "#TavarineNET_3";
constexpr int Lines = 100000;
constexpr int LinesPerTick = 100;  // every 10 ms: at most 10,000 lines/s
constexpr int TickMs = 10;
constexpr int Window = 4000;      // lines sent but not yet confirmed, well below what the server queues
constexpr int ProbeEvery = 500;   // the peer confirms by answering a CTCP PING
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

struct Figures {
    qint64 cpuStreamMs = -1;  // while the lines came
    qint64 cpuTotalMs = -1;   // since the process started
    qint64 wallMs = -1;       // first line sent until all were handled
    qint64 peakKb = -1;
    QByteArray failure;
};

QByteArray chatLine(int n)
{
    return "PRIVMSG " + Channel + " :...TAVCHAT bob> line " + QByteArray::number(n)
        + " some text for the lobby to show|||\r\n";
}

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

enum class Receiver { Ours, PeerDefaults, PeerIrcOnly };

Figures receive(Receiver receiver, const RealIrcServer &server, PlainIrcClient &sender)
{
    const bool peer = receiver != Receiver::Ours;
    Figures out;
    QTemporaryDir home;
    QProcess process;
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    process.setStandardInputFile(QProcess::nullDevice());
    QByteArray readyMark;
    if (peer) {
        const QString commands = QStringLiteral(
            "/plugin unload logger;/server add lab %1/%2;/set irc.server.lab.nicks weepeer;"
            "/set irc.server.lab.autojoin %3;/set irc.server.lab.anti_flood_prio_low 0;/connect lab")
            .arg(server.host()).arg(server.port()).arg(QString::fromLatin1(Channel));
        process.setProgram(QStandardPaths::findExecutable(QStringLiteral("weechat-headless")));
        // -p: no plugin but irc, to see what its other plugins cost per line.
        process.setArguments(receiver == Receiver::PeerIrcOnly
                                 ? QStringList{QStringLiteral("--dir"), home.path(), QStringLiteral("-p"), QStringLiteral("-r"),
                                               QStringLiteral("/plugin load irc;") + commands}
                                 : QStringList{QStringLiteral("--dir"), home.path(), QStringLiteral("-r"), commands});
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
        readyMark = ":weepeer!";  // its JOIN, seen by the sender
    } else {
        process.setProgram(QCoreApplication::applicationFilePath());
        process.setArguments({QStringLiteral("--receive"), server.host(), QString::number(server.port()),
                              QString::number(Lines)});
        readyMark = "...TAVLIST|||recv|||";  // its arrival announcement
    }
    const qsizetype seenFrom = sender.received().size();
    process.start();
    if (!process.waitForStarted(10000)) {
        out.failure = "did not start: " + process.errorString().toUtf8();
        return out;
    }
    const qint64 pid = process.processId();
    if (!runUntil([&] { return sender.received().indexOf(readyMark, seenFrom) >= 0; }, 30000)) {
        out.failure = "never joined the channel";
        stop(process);
        return out;
    }
    runUntil([] { return false; }, 1000, 50);  // its start-up chatter is over

    const qint64 cpuBefore = cpuMs(pid);
    QElapsedTimer wall;
    wall.start();
    int sent = 0;
    int handled = 0;  // lines the receiver has confirmed
    QByteArray childOut;
    qsizetype scanned = sender.received().size();
    const auto update = [&] {
        if (peer) {
            const QByteArray got = sender.received();
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
                handled = Lines;
        }
    };
    const auto failed = [&] {
        if (process.state() == QProcess::NotRunning)
            return true;
        if (peer)
            return sender.received().indexOf(" 401 ", seenFrom) >= 0;  // no such nick: it was dropped
        return childOut.contains("disconnected") || childOut.contains("timeout");
    };
    // Paced, and never more than a window ahead of what the receiver confirmed, so the
    // server's queue towards a slow receiver stays small.
    runUntil([&] {
        update();
        QByteArray batch;
        const int limit = std::min(Lines, handled + Window);
        for (int i = 0; i < LinesPerTick && sent < limit; ++i) {
            batch += chatLine(++sent);
            if (peer && (sent % ProbeEvery == 0 || sent == Lines))
                batch += "PRIVMSG weepeer :\x01PING " + QByteArray::number(sent) + "\x01\r\n";
        }
        if (!batch.isEmpty())
            sender.sendRaw(batch);
        return handled >= Lines || failed();
    }, SendLimitMs, TickMs);
    const bool done = handled >= Lines && !failed();
    if (done) {
        out.wallMs = wall.elapsed();
        out.cpuTotalMs = cpuMs(pid);
        out.cpuStreamMs = out.cpuTotalMs - cpuBefore;
        out.peakKb = peakMemoryKb(pid);
    } else {
        out.failure = "confirmed " + QByteArray::number(handled) + " of " + QByteArray::number(Lines) + " lines ("
            + QByteArray::number(sent) + " sent)";
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

void printFigures(const char *who, const Figures &f)
{
    if (!f.failure.isEmpty()) {
        std::printf("  %-24s no figure: %s\n", who, f.failure.constData());
        return;
    }
    std::printf("  %-24s CPU %6lld ms while receiving (%.1f us/line), %6lld ms in all; %.1f s wall; peak %.1f MB\n",
                who, static_cast<long long>(f.cpuStreamMs), f.cpuStreamMs * 1000.0 / Lines,
                static_cast<long long>(f.cpuTotalMs), f.wallMs / 1000.0, f.peakKb / 1024.0);
}
}  // namespace

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
    QObject::connect(&session.socket(), &LobbySocket::stateChanged, &session, [&](int state) {
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
    session.Form_Load({QString::fromLocal8Bit(argv[2]), quint16(std::atoi(argv[3]))});
    return QCoreApplication::exec();
}

void benchPeer()
{
    std::printf("peer: %d lobby chat lines through one ngircd (flood limits lifted), at most %d lines/s\n"
                "  and %d lines ahead of what the receiver confirmed; CPU from /proc/PID/stat\n",
                Lines, LinesPerTick * 1000 / TickMs, Window);
    RealIrcServer server;
    if (!server.start()) {
        std::printf("  skipped: %s\n", qPrintable(server.errorString().section(u'\n', 0, 0)));
        return;
    }
    PlainIrcClient sender("bob");
    if (!sender.connectAndRegister(server.host(), server.port()) || !sender.join(Channel)) {
        std::printf("  skipped: the sender could not join\n");
        return;
    }
    const Figures ours = receive(Receiver::Ours, server, sender);
    printFigures("ours (child session)", ours);
    if (QStandardPaths::findExecutable(QStringLiteral("weechat-headless")).isEmpty()) {
        std::printf("  peer client: skipped, weechat-headless is not installed (apt-get install weechat-headless)\n");
        return;
    }
    const Figures peer = receive(Receiver::PeerDefaults, server, sender);
    printFigures("weechat-headless", peer);
    const Figures ircOnly = receive(Receiver::PeerIrcOnly, server, sender);
    printFigures("  its irc plugin only", ircOnly);
    const auto ratio = [&](const char *what, const Figures &other) {
        if (ours.failure.isEmpty() && other.failure.isEmpty() && other.cpuStreamMs > 0)
            std::printf("  ratio ours / %s, CPU while receiving: %.3f\n", what, double(ours.cpuStreamMs) / other.cpuStreamMs);
    };
    ratio("weechat-headless", peer);
    ratio("its irc plugin only", ircOnly);
    std::fflush(stdout);
}
